#pragma once

#include <QHash>
#include <QString>

// The "key=value" lines of one group of an INI-style file (a desktop entry, the
// preferences file), each value exactly as written, without any unescaping.
namespace KeyFile {

// `group` without brackets; with `keysBeforeAnyGroup`, lines above the first
// group header count as that group's (QSettings reads them as [General]).
QHash<QString, QString> group(const QString& path, const QString& group, bool keysBeforeAnyGroup = false);

} // namespace KeyFile
