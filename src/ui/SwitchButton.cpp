#include "SwitchButton.h"

#include <QPainter>

namespace {
constexpr QSize trackSize(38, 22);
constexpr int knobInset = 2;
} // namespace

SwitchButton::SwitchButton(bool on)
{
    setCheckable(true);
    setChecked(on);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SwitchButton::sizeHint() const
{
    return trackSize;
}

void SwitchButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    const QRectF track = QRectF(QPointF(0, 0), QSizeF(trackSize))
                             .translated((width() - trackSize.width()) / 2.0, (height() - trackSize.height()) / 2.0);
    QColor trackColor = isChecked() ? palette().color(QPalette::Highlight) : palette().color(QPalette::WindowText);
    if (!isChecked())
        trackColor.setAlphaF(0.18f);
    if (!isEnabled())
        trackColor.setAlphaF(trackColor.alphaF() * 0.45f);
    painter.setBrush(trackColor);
    // A disabled track keeps a visible outline, so that more than the knob shows.
    QColor outline = palette().color(QPalette::Active, QPalette::WindowText);
    outline.setAlphaF(0.55f);
    painter.setPen(isEnabled() ? Qt::NoPen : QPen(outline, 1));
    painter.drawRoundedRect(track.adjusted(0.5, 0.5, -0.5, -0.5), track.height() / 2, track.height() / 2);
    // The focus ring, once the keyboard moved the focus here.
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRoundedRect(track.adjusted(1, 1, -1, -1), track.height() / 2 - 1, track.height() / 2 - 1);
    }

    const qreal knob = track.height() - 2 * knobInset;
    const qreal x = isChecked() ? track.right() - knobInset - knob : track.left() + knobInset;
    QColor knobColor(Qt::white);
    if (!isEnabled())
        knobColor.setAlphaF(0.8f);
    painter.setBrush(knobColor);
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
    painter.drawEllipse(QRectF(x, track.top() + knobInset, knob, knob));
}
