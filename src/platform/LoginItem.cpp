#include "LoginItem.h"

#include "KeyFile.h"
#include "SafeWrite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>

namespace {

// Marks the entries this program wrote, so that a user's own file is left alone.
const QString ownerKey = QStringLiteral("X-Corvalink-Autostart");

QHash<QString, QString> readDesktopEntry(const QString& path)
{
    return KeyFile::group(path, QStringLiteral("Desktop Entry"));
}

bool isOurs(const QHash<QString, QString>& keys)
{
    return keys.value(ownerKey) == QLatin1String("true");
}

void logFailure(const QString& reason)
{
    qWarning("Launch at login failed: %s", qPrintable(reason));
}

} // namespace

namespace LoginItem {

QString entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/corvalink.desktop");
}

bool isEnabled()
{
    // Desktops switch an entry off with either key.
    const auto keys = readDesktopEntry(entryPath());
    return isOurs(keys) && keys.value(QStringLiteral("Hidden")) != QLatin1String("true") &&
           keys.value(QStringLiteral("X-GNOME-Autostart-enabled")) != QLatin1String("false");
}

QString quotedExec(const QString& executable)
{
    QString quoted;
    for (const QChar c : executable) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    // The entry's string type escapes the backslash once more; a literal % is doubled.
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString desktopEntry(const QString& executable)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Corvalink\n"
                          "Comment=Keeps several logins to the same web sites apart\n"
                          "Exec=%1\n"
                          "Icon=" CORVALINK_APP_ID "\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n"
                          // Start once the panel, and with it the tray, is up.
                          "X-GNOME-Autostart-Phase=Applications\n"
                          "X-GNOME-Autostart-Delay=3\n"
                          "X-KDE-autostart-after=panel\n"
                          "X-LXQt-Need-Tray=true\n"
                          "%2=true\n")
        .arg(quotedExec(executable), ownerKey);
}

void setLaunchAtLogin(bool enabled, const QString& executable)
{
    const QString path = entryPath();
    if (!enabled) {
        if (QFile::exists(path) && isOurs(readDesktopEntry(path)) && !QFile::remove(path))
            logFailure(QStringLiteral("cannot remove %1").arg(path));
        return;
    }
    // A link that leads nowhere is the user's too: writing would create its target.
    const QFileInfo entry(path);
    if ((entry.exists() || entry.isSymLink()) && !isOurs(readDesktopEntry(path))) {
        logFailure(QStringLiteral("%1 is the user's own entry; it is left as it is").arg(path));
        return;
    }
    const QString program = executable.isEmpty() ? QCoreApplication::applicationFilePath() : executable;
    // The desktop entry format has no way to carry these inside a value.
    if (std::any_of(program.cbegin(), program.cend(), [](QChar c) { return c.category() == QChar::Other_Control; })) {
        logFailure(QStringLiteral("the program's path holds a line break or another control character, which an "
                                  "autostart entry cannot carry; move the program to another folder"));
        return;
    }
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder)) {
        logFailure(QStringLiteral("cannot create the folder %1").arg(folder));
        return;
    }
    // Through a link to our own entry, its target is replaced and the link stays.
    QString error;
    if (!SafeWrite::write(path, desktopEntry(program).toUtf8(), &error))
        logFailure(error);
}

} // namespace LoginItem
