#include "Paths.h"

#include "Account.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
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

QString firefoxProfileFolder(const QUuid& id, const QString& base)
{
    return base + QStringLiteral("/firefox-profiles/") + Account::idText(id);
}

QString browserDataFolder(const QString& executable)
{
    const QFileInfo program(executable);
    const QString folder = program.path();
    const QString home = QDir::homePath();
    if (folder == QLatin1String("/snap/bin"))
        return home + QStringLiteral("/snap/") + program.fileName() + QStringLiteral("/common/Corvalink");
    if (folder == QLatin1String("/var/lib/flatpak/exports/bin") ||
        folder == home + QStringLiteral("/.local/share/flatpak/exports/bin"))
        return home + QStringLiteral("/.var/app/") + program.fileName() + QStringLiteral("/data/Corvalink");
    return dataFolder();
}

QList<std::pair<QString, QString>> accountProfileFolders(const QUuid& id, const QString& base)
{
    QStringList bases{base};
    const QString home = QDir::homePath();
    for (const auto& [parent, below] : {std::pair{home + QStringLiteral("/snap"), QStringLiteral("/common/Corvalink")},
                                        {home + QStringLiteral("/.var/app"), QStringLiteral("/data/Corvalink")}}) {
        for (const QString& sandbox : QDir(parent).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            bases << parent + QLatin1Char('/') + sandbox + below;
    }
    QList<std::pair<QString, QString>> found;
    for (const QString& folder : bases) {
        for (const QString& profile : {profileFolder(id, folder), firefoxProfileFolder(id, folder)}) {
            if (QFileInfo::exists(profile) || isLink(profile))
                found.append({profile, folder});
        }
    }
    return found;
}

QString webDataFolder(const QUuid& id, const QString& base)
{
    return base + QStringLiteral("/webdata/") + Account::idText(id);
}

QString webEngineFolder(const QUuid& id, const QString& base)
{
    return base + QStringLiteral("/QtWebEngine/") + Account::idText(id);
}

namespace {

bool isPrivateFolderOfUser(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 077) == 0 && ::access(QFile::encodeName(path), W_OK) == 0;
}

} // namespace

bool isLink(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool makePrivateDir(const QString& path)
{
    // chmod follows links: the folder the user linked elsewhere keeps its mode.
    if (!isLink(path)) {
        QDir().mkpath(path);
        ::chmod(QFile::encodeName(path).constData(), 0700);
    }
    return isPrivateFolderOfUser(path);
}

bool removeOwnFolder(const QString& path, const QString& base, QString* error)
{
    // Every folder between base and path must be a real one of ours.
    const QString relative = QDir(base).relativeFilePath(path);
    if (relative.startsWith(QLatin1String("..")) || QDir::isAbsolutePath(relative)) {
        *error = QStringLiteral("%1 is outside %2; nothing was deleted there").arg(path, base);
        return false;
    }
    QString walked = base;
    const QStringList steps = relative.split(QLatin1Char('/'));
    for (qsizetype i = 0; i + 1 < steps.size(); ++i) {
        walked += QLatin1Char('/') + steps.at(i);
        if (isLink(walked)) {
            *error = QStringLiteral("%1 is reached through the link %2; nothing was deleted there").arg(path, walked);
            return false;
        }
    }
    const bool removed =
        isLink(path) ? QFile::remove(path) : !QFileInfo::exists(path) || QDir(path).removeRecursively();
    if (!removed)
        *error = QStringLiteral("could not delete %1").arg(path);
    return removed;
}

QString runtimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && isPrivateFolderOfUser(runtime))
        return runtime;
    // Never the shared temp folder: anyone could take the name there first.
    const QString fallback =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Corvalink/run");
    return makePrivateDir(fallback) ? fallback : QString();
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
