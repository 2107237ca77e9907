#include "Symbols.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

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
    QSvgRenderer renderer(resourcePath(name));
    const int side = qCeil(size * devicePixelRatio);
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    // The SVGs are black: colour them in by keeping their alpha only.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), tint);
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon icon(const QString& name, qreal size, const QColor& tint)
{
    const QPixmap image = pixmap(name, size, tint);
    return image.isNull() ? QIcon() : QIcon(image);
}

} // namespace Symbols
