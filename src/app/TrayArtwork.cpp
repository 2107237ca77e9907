#include "TrayArtwork.h"

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

} // namespace

namespace TrayArtwork {

QIcon icon()
{
    QSvgRenderer artwork(QStringLiteral(":/menubar.svg"));
    QIcon icon;
    for (int size : sizes)
        icon.addPixmap(withHalo(artwork, size));
    return icon;
}

} // namespace TrayArtwork
