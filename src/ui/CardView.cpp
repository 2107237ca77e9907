#include "CardView.h"

#include <QEvent>
#include <QPainter>

CardView::CardView()
{
    setAttribute(Qt::WA_StyledBackground, false);
}

QColor CardView::fillColor() const
{
    QColor fill = palette().color(QPalette::WindowText);
    fill.setAlphaF(0.06f);
    return fill;
}

void CardView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fillColor());
    painter.drawRoundedRect(QRectF(rect()), 12, 12);
}

void CardView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        update();
    QWidget::changeEvent(event);
}
