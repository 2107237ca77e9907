#include "Paths.h"

#include "Account.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace Paths {

QString dataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Corvalink");
}

QString profileFolder(const QUuid& id, const QString& base)
{
    return base + QStringLiteral("/profiles/") + Account::idText(id);
}

QString webDataFolder(const QUuid& id, const QString& base)
{
    return base + QStringLiteral("/webdata/") + Account::idText(id);
}

QString webEngineFolder(const QUuid& id, const QString& base)
{
    return base + QStringLiteral("/QtWebEngine/") + Account::idText(id);
}

bool makePrivateDir(const QString& path)
{
    QDir().mkpath(path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QFileInfo folder(path);
    return folder.isDir() && folder.isWritable() && folder.ownerId() == ::getuid() &&
           (folder.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                                    QFile::WriteOther | QFile::ExeOther)) == 0;
}

QString withTilde(const QString& path)
{
    const QString home = QDir::homePath();
    if (path == home)
        return QStringLiteral("~");
    if (path.startsWith(home + QLatin1Char('/')))
        return QStringLiteral("~") + path.mid(home.size());
    return path;
}

} // namespace Paths
