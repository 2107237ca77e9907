#include "RoundBadge.h"

#include "Symbols.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {
constexpr qreal symbolSize = 8.5;
}

RoundBadge::RoundBadge(const QString& symbol, qreal diameter)
    : m_symbol(symbol)
    , m_diameter(diameter)
    , m_icon(new QLabel(this))
{
    const int side = qRound(diameter);
    setFixedSize(side, side);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_icon, 0, Qt::AlignCenter);
    m_icon->setAttribute(Qt::WA_TransparentForMouseEvents);
    refreshIcon();
}

QColor RoundBadge::fillColor() const
{
    QColor fill = palette().color(QPalette::WindowText);
    fill.setAlphaF(0.14f);
    return fill;
}

void RoundBadge::refreshIcon()
{
    m_icon->setPixmap(Symbols::pixmap(m_symbol, symbolSize, palette().color(QPalette::WindowText)));
}

void RoundBadge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fillColor());
    painter.drawEllipse(QRectF(rect()));
}

void RoundBadge::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        refreshIcon();
        update();
    }
    QWidget::changeEvent(event);
}
