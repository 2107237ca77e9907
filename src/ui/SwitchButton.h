#pragma once

#include <QAbstractButton>

// An on/off switch: a rounded track with a sliding knob.
class SwitchButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit SwitchButton(bool on);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
