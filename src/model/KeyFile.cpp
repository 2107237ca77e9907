#include "KeyFile.h"

#include <QFile>

namespace KeyFile {

QHash<QString, QString> group(const QString& path, const QString& group, bool keysBeforeAnyGroup)
{
    QHash<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    bool inGroup = keysBeforeAnyGroup;
    const QString header = QLatin1Char('[') + group + QLatin1Char(']');
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == header;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inGroup && equals > 0 && !line.startsWith(QLatin1Char('#')) && !line.startsWith(QLatin1Char(';')))
            keys.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return keys;
}

} // namespace KeyFile
