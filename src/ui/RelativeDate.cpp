#include "RelativeDate.h"

#include <array>

namespace {

struct Unit {
    qint64 seconds;
    const char* singular;
    const char* plural;
};

// Largest first; the first unit that fits at least once names the distance.
constexpr std::array<Unit, 7> units{{
    {365 * 86400, "yr.", "yr."},
    {30 * 86400, "mo.", "mo."},
    {7 * 86400, "wk.", "wk."},
    {86400, "day", "days"},
    {3600, "hr.", "hr."},
    {60, "min.", "min."},
    {1, "sec.", "sec."},
}};

} // namespace

namespace RelativeDate {

QString shortText(const QDateTime& date, const QDateTime& relativeTo)
{
    const qint64 delta = relativeTo.secsTo(date);
    const qint64 distance = delta < 0 ? -delta : delta;
    if (distance < 1)
        return QStringLiteral("now");
    for (const Unit& unit : units) {
        const qint64 count = distance / unit.seconds;
        if (count < 1)
            continue;
        const QString amount =
            QString::number(count) + QLatin1Char(' ') + QLatin1String(count == 1 ? unit.singular : unit.plural);
        return delta < 0 ? amount + QStringLiteral(" ago") : QStringLiteral("in ") + amount;
    }
    return QStringLiteral("now");
}

} // namespace RelativeDate
