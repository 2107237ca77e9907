#pragma once

#include <QLabel>

// A one-line plain-text label that shortens its text (in the middle, or where
// the mode says) when it lacks room, and then shows it whole in its tooltip.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(const QString& text, Qt::TextElideMode mode = Qt::ElideMiddle);

    QSize minimumSizeHint() const override;
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Qt::TextElideMode m_mode;
};
