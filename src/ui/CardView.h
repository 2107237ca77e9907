#pragma once

#include <QWidget>

// The faintly tinted, rounded panel behind a card's rows. Its fill follows the
// palette: the label colour at 6 % opacity.
class CardView : public QWidget {
    Q_OBJECT

public:
    CardView();
    CardView(const CardView&) = delete;
    CardView& operator=(const CardView&) = delete;

    QColor fillColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
};
