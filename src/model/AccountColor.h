#pragma once

#include <QColor>
#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The palette an account can be marked with.
namespace AccountColor {

struct Entry {
    QString name;
    QColor color;
};

// Eight fixed colours, "Red" to "Gray".
const QList<Entry>& all();

// "None" followed by the eight palette names: the choices the pickers offer.
const QStringList& names();

// A transparent square with the filled circle of the named colour, drawn at
// whatever size it is asked for. Null when the name is absent or not in the palette.
QIcon dot(const std::optional<QString>& name, qreal diameter);
// The dot, or a transparent square of its size where there is none, so that
// rows with and without a colour start at the same place.
QIcon dotOrSpace(const std::optional<QString>& name, qreal diameter);

} // namespace AccountColor
