#pragma once

#include <QLabel>

// A one-line label that shortens its text in the middle when it lacks room.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(const QString& text);

    QSize minimumSizeHint() const override;
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
