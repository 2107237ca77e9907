#pragma once

#include <QDateTime>
#include <QString>

// Short relative dates: "5 min. ago", "2 hr. ago", "3 days ago", "in 2 hr.".
namespace RelativeDate {

QString shortText(const QDateTime& date, const QDateTime& relativeTo);

} // namespace RelativeDate
