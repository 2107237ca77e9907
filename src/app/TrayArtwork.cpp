#include "TrayArtwork.h"

#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace {

constexpr int sizes[] = {16, 22, 24, 32, 48};

QImage glyph(QSvgRenderer& artwork, int size, const QColor& color)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    artwork.render(&painter, QRectF(1, 1, size - 2, size - 2));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    return image;
}

QPixmap withHalo(QSvgRenderer& artwork, int size)
{
    const QImage light = glyph(artwork, size, QColor(255, 255, 255, 230));
    QImage result(size, size, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy)
            painter.drawImage(dx, dy, light);
    }
    painter.drawImage(0, 0, glyph(artwork, size, Qt::black));
    return QPixmap::fromImage(result);
}

// Draws each size when it is first asked for, at that size: a tray wants one
// or two of them, and drawing them all took a millisecond of every start.
class ArtworkEngine : public QIconEngine {
public:
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        auto drawn = m_drawn.constFind(side);
        if (drawn == m_drawn.cend()) {
            QSvgRenderer artwork(QStringLiteral(":/menubar.svg"));
            drawn = m_drawn.insert(side, withHalo(artwork, side));
        }
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
        for (int size : sizes)
            list.append(QSize(size, size));
        return list;
    }
    QIconEngine* clone() const override { return new ArtworkEngine(*this); }

private:
    QHash<int, QPixmap> m_drawn;
};

} // namespace

namespace TrayArtwork {

QIcon icon()
{
    return QIcon(new ArtworkEngine);
}

} // namespace TrayArtwork
