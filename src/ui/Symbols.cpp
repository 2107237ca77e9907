#include "Symbols.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

namespace {

QString resourcePath(const QString& name)
{
    return QStringLiteral(":/symbols/") + name + QStringLiteral(".svg");
}

} // namespace

namespace Symbols {

bool exists(const QString& name)
{
    return QFile::exists(resourcePath(name));
}

QPixmap pixmap(const QString& name, qreal size, const QColor& tint, qreal devicePixelRatio)
{
    if (!exists(name))
        return {};
    // Read through Qt's SVG image plugin, loaded when a window first needs a
    // symbol: the tray alone never does.
    QImageReader reader(resourcePath(name), "svg");
    const int side = qCeil(size * devicePixelRatio);
    reader.setScaledSize(QSize(side, side));
    QImage image = reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        qWarning("Corvalink: cannot draw the symbol %s: %s", qPrintable(name), qPrintable(reader.errorString()));
        return {};
    }
    // The SVGs are black: colour them in by keeping their alpha only.
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), tint);
    painter.end();
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon icon(const QString& name, qreal size, const QColor& tint)
{
    const QPixmap image = pixmap(name, size, tint);
    return image.isNull() ? QIcon() : QIcon(image);
}

} // namespace Symbols
