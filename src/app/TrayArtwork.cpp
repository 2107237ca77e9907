#include "TrayArtwork.h"

#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

namespace {

// Two overlapping windows with a dot each, in an 18-unit box inside a 1-pixel
// margin. Drawn, not read from an SVG: the tray then starts without the SVG library.
void drawArtwork(QPainter& painter, int size)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(1, 1);
    painter.scale((size - 2) / 18.0, (size - 2) / 18.0);
    painter.setPen(QPen(Qt::black, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawRoundedRect(QRectF(1.5, 3, 9, 7), 1.6, 1.6);
    painter.setBrush(QColor(0, 0, 0, 46));
    painter.drawRoundedRect(QRectF(7.5, 8, 9, 7), 1.6, 1.6);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QPointF(4, 5.2), 0.3, 0.3);
    painter.drawEllipse(QPointF(10, 10.2), 0.3, 0.3);
    painter.resetTransform();
}

QImage glyph(int size, const QColor& color)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawArtwork(painter, size);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    return image;
}

QPixmap withHalo(int size)
{
    const QImage light = glyph(size, QColor(255, 255, 255, 230));
    QImage result(size, size, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy)
            painter.drawImage(dx, dy, light);
    }
    painter.drawImage(0, 0, glyph(size, Qt::black));
    return QPixmap::fromImage(result);
}

// The app's own icon as resources/corvalink.svg draws it for the desktop, in a
// 128-unit box: drawn here too, so that giving windows their icon loads no SVG reader.
QPixmap drawApplicationIcon(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 128.0, side / 128.0);
    QLinearGradient background(0, 8, 0, 120);
    background.setColorAt(0, QColor(0x4f8df7));
    background.setColorAt(1, QColor(0x2a5fd0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(8, 8, 112, 112), 26, 26);
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRoundedRect(QRectF(24, 34, 52, 40), 9, 9);
    painter.setPen(QPen(Qt::white, 3));
    painter.setBrush(QColor(255, 255, 255, 140));
    painter.drawRoundedRect(QRectF(52, 56, 52, 40), 9, 9);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2a5fd0));
    painter.drawEllipse(QPointF(34, 44), 3, 3);
    painter.drawEllipse(QPointF(62, 66), 3, 3);
    painter.end();
    return QPixmap::fromImage(image);
}

// Draws each size when it is first asked for, at that size: a tray wants one
// or two of them, and drawing them all took a millisecond of every start.
class ArtworkEngine : public QIconEngine {
public:
    using Draw = QPixmap (*)(int side);

    ArtworkEngine(Draw draw, QList<int> sizes)
        : m_draw(draw)
        , m_sizes(std::move(sizes))
    {
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        auto drawn = m_drawn.constFind(side);
        if (drawn == m_drawn.cend())
            drawn = m_drawn.insert(side, m_draw(side));
        return *drawn;
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const int side = qMin(rect.width(), rect.height());
        painter->drawPixmap(QRect(rect.center() - QPoint(side / 2, side / 2), QSize(side, side)),
                            pixmap(QSize(side, side), mode, state));
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        return {side, side};
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> list;
        for (int size : m_sizes)
            list.append(QSize(size, size));
        return list;
    }
    QIconEngine* clone() const override { return new ArtworkEngine(*this); }

private:
    Draw m_draw;
    QList<int> m_sizes;
    QHash<int, QPixmap> m_drawn;
};

} // namespace

namespace TrayArtwork {

QIcon applicationIcon()
{
    return QIcon(new ArtworkEngine(drawApplicationIcon, {16, 32, 48, 64}));
}

QIcon icon()
{
    return QIcon(new ArtworkEngine(withHalo, {16, 22, 24, 32, 48}));
}

} // namespace TrayArtwork
