#pragma once

#include <QDateTime>
#include <QString>

// The settings window's one relative-date formatter, short style: "5 min. ago",
// "2 hr. ago", "3 days ago", "in 2 hr.".
namespace RelativeDate {

QString shortText(const QDateTime& date, const QDateTime& relativeTo);

} // namespace RelativeDate
