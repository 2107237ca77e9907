#include "DefaultBrowser.h"

#include "KeyFile.h"
#include "LoginItem.h"
#include "SafeWrite.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

constexpr int xdgSettingsMs = 10000;

// Runs xdg-settings; its output, or nothing with the reason in `why`.
std::optional<QString> xdgSettings(const QStringList& arguments, QString* why)
{
    QProcess process;
    process.start(QStringLiteral("xdg-settings"), arguments);
    if (!process.waitForFinished(xdgSettingsMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        if (why) {
            const QString said = QString::fromUtf8(process.readAllStandardError()).trimmed();
            *why = said.isEmpty() ? QStringLiteral("xdg-settings %1 failed: %2")
                                        .arg(arguments.join(QLatin1Char(' ')), process.errorString())
                                  : said;
        }
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString entryFile(const QString& id)
{
    return id.isEmpty() ? QString()
                        : QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id, QStandardPaths::LocateFile);
}

// A build that was never installed has no desktop entry for the desktop to
// start: one in the user's applications folder starts this executable.
bool ensureOwnEntry(QString* why)
{
    if (!entryFile(DefaultBrowser::corvalinkEntry()).isEmpty())
        return true;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    // Bare when it can be: xdg-settings looks the first word up as it stands, quotes and all.
    const QString executable = QCoreApplication::applicationFilePath();
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9/._+-]+$"));
    const QString exec = plain.match(executable).hasMatch() ? executable : LoginItem::quotedExec(executable);
    const QByteArray entry =
        "[Desktop Entry]\nType=Application\nName=Corvalink\nNoDisplay=true\nExec=" + exec.toUtf8() +
        " %u\nMimeType=text/html;x-scheme-handler/http;x-scheme-handler/https;"
        "x-scheme-handler/about;x-scheme-handler/unknown;\n";
    return QDir().mkpath(folder) && SafeWrite::write(folder + u'/' + DefaultBrowser::corvalinkEntry(), entry, why);
}

QString plainBrowserEntry()
{
    const QString now = DefaultBrowser::current();
    return now == DefaultBrowser::corvalinkEntry() ? Settings::previousWebBrowser() : now;
}

} // namespace

namespace DefaultBrowser {

QString corvalinkEntry()
{
    return QStringLiteral(CORVALINK_APP_ID ".desktop");
}

QString current()
{
    return xdgSettings({QStringLiteral("get"), QStringLiteral("default-web-browser")}, nullptr).value_or(QString());
}

bool takeLinks(QString* why)
{
    const QString before = current();
    if (before == corvalinkEntry())
        return true;
    if (!ensureOwnEntry(why) ||
        !xdgSettings({QStringLiteral("set"), QStringLiteral("default-web-browser"), corvalinkEntry()}, why))
        return false;
    Settings::setPreviousWebBrowser(before);
    return true;
}

bool giveLinksBack(QString* why)
{
    const QString previous = Settings::previousWebBrowser();
    if (current() != corvalinkEntry())
        return true;
    if (previous.isEmpty()) {
        if (why)
            *why = QStringLiteral("no browser had the links before; choose one in the desktop's settings");
        return false;
    }
    return xdgSettings({QStringLiteral("set"), QStringLiteral("default-web-browser"), previous}, why).has_value();
}

QString plainBrowserName()
{
    const QString file = entryFile(plainBrowserEntry());
    return file.isEmpty() ? QString()
                          : KeyFile::group(file, QStringLiteral("Desktop Entry")).value(QStringLiteral("Name"));
}

bool openWithoutAccount(const QUrl& link)
{
    const QString file = entryFile(plainBrowserEntry());
    QStringList command =
        QProcess::splitCommand(KeyFile::group(file, QStringLiteral("Desktop Entry")).value(QStringLiteral("Exec")));
    if (file.isEmpty() || command.isEmpty())
        return false;
    // The link takes the place of %u or %U, as one argument; other field codes go.
    QStringList arguments;
    bool placed = false;
    for (const QString& word : command.mid(1)) {
        if (word == QLatin1String("%u") || word == QLatin1String("%U")) {
            arguments << link.toString(QUrl::FullyEncoded);
            placed = true;
        } else if (!(word.size() == 2 && word.startsWith(QLatin1Char('%')))) {
            arguments << word;
        }
    }
    if (!placed)
        arguments << link.toString(QUrl::FullyEncoded);
    return QProcess::startDetached(command.first(), arguments);
}

} // namespace DefaultBrowser
