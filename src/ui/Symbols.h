#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// The symbol images the pages use, drawn for this project as SVGs and tinted
// when rendered: gearshape, person.2, person.2.circle, info.circle,
// chevron.up.chevron.down, ellipsis.circle.
namespace Symbols {

bool exists(const QString& name);

// The symbol at the given size in logical pixels, tinted with the colour;
// null when there is no such symbol.
QPixmap pixmap(const QString& name, qreal size, const QColor& tint, qreal devicePixelRatio = 2.0);

QIcon icon(const QString& name, qreal size, const QColor& tint);

} // namespace Symbols
