#include "BrowserLauncher.h"

#include "Paths.h"
#include "Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSysInfo>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

const QHash<QString, QStringList>& linuxExecutables()
{
    static const QHash<QString, QStringList> table{
        {QStringLiteral("Google Chrome"),
         {QStringLiteral("google-chrome-stable"), QStringLiteral("google-chrome"),
          QStringLiteral("com.google.Chrome")}},
        {QStringLiteral("Google Chrome Beta"), {QStringLiteral("google-chrome-beta")}},
        {QStringLiteral("Google Chrome Dev"), {QStringLiteral("google-chrome-unstable")}},
        {QStringLiteral("Google Chrome Canary"), {QStringLiteral("google-chrome-canary")}},
        {QStringLiteral("Brave Browser"),
         {QStringLiteral("brave-browser"), QStringLiteral("brave"), QStringLiteral("brave-bin"),
          QStringLiteral("com.brave.Browser")}},
        {QStringLiteral("Brave Browser Beta"), {QStringLiteral("brave-browser-beta")}},
        {QStringLiteral("Brave Browser Nightly"), {QStringLiteral("brave-browser-nightly")}},
        {QStringLiteral("Microsoft Edge"),
         {QStringLiteral("microsoft-edge-stable"), QStringLiteral("microsoft-edge"),
          QStringLiteral("com.microsoft.Edge")}},
        {QStringLiteral("Microsoft Edge Beta"), {QStringLiteral("microsoft-edge-beta")}},
        {QStringLiteral("Microsoft Edge Dev"), {QStringLiteral("microsoft-edge-dev")}},
        {QStringLiteral("Microsoft Edge Canary"), {QStringLiteral("microsoft-edge-canary")}},
        {QStringLiteral("Chromium"),
         {QStringLiteral("chromium"), QStringLiteral("chromium-browser"), QStringLiteral("org.chromium.Chromium")}},
        {QStringLiteral("Vivaldi"),
         {QStringLiteral("vivaldi-stable"), QStringLiteral("vivaldi"), QStringLiteral("com.vivaldi.Vivaldi")}},
        {QStringLiteral("Opera"), {QStringLiteral("opera")}},
        {QStringLiteral("Opera Developer"), {QStringLiteral("opera-developer")}},
        {QStringLiteral("Yandex"),
         {QStringLiteral("yandex-browser-stable"), QStringLiteral("yandex-browser"),
          QStringLiteral("ru.yandex.Browser")}},
        {QStringLiteral("Thorium"), {QStringLiteral("thorium-browser")}},
        {QStringLiteral("Ungoogled Chromium"),
         {QStringLiteral("ungoogled-chromium"), QStringLiteral("io.github.ungoogled_software.ungoogled_chromium")}},
    };
    return table;
}

// Chromium trims white space from each argument before it looks for switches,
// and a control character has no business in an address.
bool couldBeReadAsSwitch(const QString& url)
{
    if (std::any_of(url.cbegin(), url.cend(), [](QChar c) { return c.category() == QChar::Other_Control; }))
        return true;
    const auto text = std::find_if(url.cbegin(), url.cend(), [](QChar c) { return !c.isSpace(); });
    return text != url.cend() && *text == QLatin1Char('-');
}

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

namespace BrowserLauncher {

const QStringList& known()
{
    static const QStringList names{
        QStringLiteral("Google Chrome"),
        QStringLiteral("Google Chrome Beta"),
        QStringLiteral("Google Chrome Dev"),
        QStringLiteral("Google Chrome Canary"),
        QStringLiteral("Brave Browser"),
        QStringLiteral("Brave Browser Beta"),
        QStringLiteral("Brave Browser Nightly"),
        QStringLiteral("Microsoft Edge"),
        QStringLiteral("Microsoft Edge Beta"),
        QStringLiteral("Microsoft Edge Dev"),
        QStringLiteral("Microsoft Edge Canary"),
        QStringLiteral("Chromium"),
        QStringLiteral("Vivaldi"),
        QStringLiteral("Arc"),
        QStringLiteral("Opera"),
        QStringLiteral("Opera GX"),
        QStringLiteral("Opera Developer"),
        QStringLiteral("Yandex"),
        QStringLiteral("Thorium"),
        QStringLiteral("Ungoogled Chromium"),
        QStringLiteral("Sidekick"),
        QStringLiteral("SigmaOS"),
        QStringLiteral("Comet"),
        QStringLiteral("Dia"),
    };
    return names;
}

QStringList executables(const QString& name)
{
    return linuxExecutables().value(name);
}

QStringList searchFolders()
{
    QStringList folders = qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    folders << QStringLiteral("/snap/bin") << QStringLiteral("/var/lib/flatpak/exports/bin")
            << QDir::homePath() + QStringLiteral("/.local/share/flatpak/exports/bin");
    return folders;
}

QString findExecutable(const QString& name)
{
    const QStringList candidates = executables(name);
    if (candidates.isEmpty())
        return {};
    for (const QString& folder : searchFolders()) {
        for (const QString& candidate : candidates) {
            const QString path = folder + QLatin1Char('/') + candidate;
            if (isExecutableFile(path))
                return path;
        }
    }
    return {};
}

QStringList installedBrowsers()
{
    QStringList installed;
    for (const QString& name : known()) {
        if (!findExecutable(name).isEmpty())
            installed.append(name);
    }
    return installed;
}

std::optional<QString> resolveBrowser(const Account& account)
{
    const QStringList installed = installedBrowsers();
    for (const auto& candidate : {account.browser, Settings::defaultBrowser()}) {
        if (candidate && installed.contains(*candidate))
            return candidate;
    }
    if (installed.isEmpty())
        return std::nullopt;
    return installed.first();
}

QStringList launchArguments(const Account& account, const QString& browser, const QString& profileDir)
{
    QStringList arguments{QStringLiteral("-na"),
                          browser,
                          QStringLiteral("--args"),
                          QStringLiteral("--user-data-dir=") + profileDir,
                          QStringLiteral("--no-first-run"),
                          QStringLiteral("--no-default-browser-check")};
    if (Settings::incognito())
        arguments << QStringLiteral("--incognito");
    // Split at U+0020 only; tabs stay inside their word, nothing is unquoted.
    arguments << Settings::extraArgs().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    arguments << account.url;
    return arguments;
}

bool profileInUse(const QString& profileDir)
{
    char target[512];
    const ssize_t size = ::readlink(QFile::encodeName(profileDir + QStringLiteral("/SingletonLock")).constData(),
                                    target, sizeof target - 1);
    if (size <= 0)
        return false;
    const QString owner = QString::fromLocal8Bit(target, size);
    const qsizetype dash = owner.lastIndexOf(QLatin1Char('-'));
    bool isNumber = false;
    const pid_t pid = owner.mid(dash + 1).toInt(&isNumber);
    // A browser on another machine sharing this home counts as running.
    if (dash < 0 || !isNumber || owner.left(dash) != QSysInfo::machineHostName())
        return true;
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

QString refusal(const Account& account)
{
    // The URL comes from a file anyone may have edited or synced.
    const QUrl url(account.url, QUrl::StrictMode);
    const bool web = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    if (!url.isValid() || !web || url.host().isEmpty() || couldBeReadAsSwitch(account.url))
        return QStringLiteral("its URL is not an http or https address");
    const QString profile = Paths::profileFolder(account.id);
    if (Paths::isLink(profile) && !Paths::makePrivateDir(profile))
        return QStringLiteral("its profile folder %1 is a link to a folder that is not private to you").arg(profile);
    return {};
}

bool open(const Account& account)
{
    // The URL comes from a file anyone may have edited or synced.
    if (couldBeReadAsSwitch(account.url)) {
        qWarning("Corvalink: refused to open %s in a browser: its URL could be read as a browser switch",
                 qPrintable(account.idText()));
        return false;
    }
    const auto browser = resolveBrowser(account);
    if (!browser)
        return false;
    const QString executable = findExecutable(*browser);
    if (executable.isEmpty())
        return false;

    const QString profile = Paths::profileFolder(account.id);
    // Both the profiles folder and the account's own are private to the user.
    // Without its own folder the browser would use its default profile and mix
    // this account's logins with the user's everyday ones.
    if (!Paths::makePrivateDir(QFileInfo(profile).path()) || !Paths::makePrivateDir(profile)) {
        qWarning("Corvalink: the profile folder %s cannot be made private and writable, so %s is not opened in a "
                 "browser",
                 qPrintable(profile), qPrintable(account.idText()));
        return false;
    }

    const QStringList arguments = launchArguments(account, *browser, profile);
    const QStringList browserArguments = arguments.mid(arguments.indexOf(QStringLiteral("--args")) + 1);
    return QProcess::startDetached(executable, browserArguments);
}

} // namespace BrowserLauncher
