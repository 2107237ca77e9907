#include "BrowserLauncher.h"

#include "Paths.h"
#include "SafeWrite.h"
#include "Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSysInfo>
#include <QUrl>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ifaddrs.h>
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
        {QStringLiteral("Firefox"), {QStringLiteral("firefox"), QStringLiteral("org.mozilla.firefox")}},
        {QStringLiteral("Firefox ESR"), {QStringLiteral("firefox-esr")}},
        {QStringLiteral("Firefox Developer Edition"),
         {QStringLiteral("firefox-developer-edition"), QStringLiteral("firefox-devedition")}},
        {QStringLiteral("Firefox Nightly"), {QStringLiteral("firefox-nightly")}},
        {QStringLiteral("LibreWolf"), {QStringLiteral("librewolf"), QStringLiteral("io.gitlab.librewolf-community")}},
        {QStringLiteral("Floorp"), {QStringLiteral("floorp"), QStringLiteral("one.ablaze.floorp")}},
        {QStringLiteral("Waterfox"), {QStringLiteral("waterfox"), QStringLiteral("net.waterfox.waterfox")}},
        {QStringLiteral("Zen Browser"),
         {QStringLiteral("zen-browser"), QStringLiteral("zen"), QStringLiteral("app.zen_browser.zen")}},
        {QStringLiteral("Mullvad Browser"), {QStringLiteral("mullvad-browser")}},
    };
    return table;
}

// What --no-first-run and --no-default-browser-check skip in Chromium: the
// welcome and what's-new pages, the default-browser question, the data-reporting notice.
const char firefoxUserJs[] = R"(// Written by Corvalink before this profile's first start.
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("browser.aboutwelcome.enabled", false);
user_pref("startup.homepage_welcome_url", "");
user_pref("startup.homepage_welcome_url.additional", "");
user_pref("startup.homepage_override_url", "");
user_pref("datareporting.policy.dataSubmissionPolicyBypassNotification", true);
user_pref("datareporting.policy.firstRunURL", "");
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
)";

// Whether `host` is an IPv4 or IPv6 address of this machine: a loopback one or
// one of its interfaces'.
bool isOwnAddress(const QString& host)
{
    const QByteArray text = host.toLatin1();
    in_addr v4{};
    in6_addr v6{};
    const bool isV4 = ::inet_pton(AF_INET, text.constData(), &v4) == 1;
    if (!isV4 && ::inet_pton(AF_INET6, text.constData(), &v6) != 1)
        return false;
    if (isV4 ? (ntohl(v4.s_addr) >> 24) == 127 : IN6_IS_ADDR_LOOPBACK(&v6))
        return true;
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0)
        return false;
    bool found = false;
    for (const ifaddrs* entry = interfaces; entry && !found; entry = entry->ifa_next) {
        if (!entry->ifa_addr)
            continue;
        if (isV4 && entry->ifa_addr->sa_family == AF_INET)
            found = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr == v4.s_addr;
        else if (!isV4 && entry->ifa_addr->sa_family == AF_INET6)
            found =
                std::memcmp(&reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr)->sin6_addr, &v6, sizeof v6) == 0;
    }
    ::freeifaddrs(interfaces);
    return found;
}

// A browser's lock names its host and process: Chromium's SingletonLock as
// HOST-PID, Firefox's lock as ADDRESS:+PID.
bool lockHeldByLiveProcess(const QString& lockPath, const QString& separator)
{
    char target[512];
    const ssize_t size = ::readlink(QFile::encodeName(lockPath).constData(), target, sizeof target - 1);
    if (size <= 0)
        return false;
    const QString owner = QString::fromLocal8Bit(target, size);
    const qsizetype split = owner.lastIndexOf(separator);
    bool isNumber = false;
    const pid_t pid = owner.mid(split + separator.size()).toInt(&isNumber);
    const QString host = owner.left(split);
    const bool thisMachine = host == QSysInfo::machineHostName() || isOwnAddress(host);
    // A browser on another machine sharing this home counts as running.
    if (split < 0 || !isNumber || !thisMachine)
        return true;
    return ::kill(pid, 0) == 0 || errno == EPERM;
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
        // After every Chromium browser, so that one stays the automatic choice.
        QStringLiteral("Firefox"),
        QStringLiteral("Firefox ESR"),
        QStringLiteral("Firefox Developer Edition"),
        QStringLiteral("Firefox Nightly"),
        QStringLiteral("LibreWolf"),
        QStringLiteral("Floorp"),
        QStringLiteral("Waterfox"),
        QStringLiteral("Zen Browser"),
        QStringLiteral("Mullvad Browser"),
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

bool isFirefoxFamily(const QString& name)
{
    return known().indexOf(name) >= known().indexOf(QStringLiteral("Firefox"));
}

QString profileFolder(const Account& account, const QString& browser, const QString& executable)
{
    const QString base = Paths::browserDataFolder(executable);
    return isFirefoxFamily(browser) ? Paths::firefoxProfileFolder(account.id, base)
                                    : Paths::profileFolder(account.id, base);
}

QStringList launchArguments(const Account& account, const QString& browser, const QString& profileDir)
{
    const QStringList extra = Settings::extraArgs().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (isFirefoxFamily(browser)) {
        // No --no-remote: a second opening goes to the profile's running window.
        QStringList arguments{QStringLiteral("-na"), browser, QStringLiteral("--args"), QStringLiteral("--profile"),
                              profileDir};
        arguments << extra;
        if (Settings::incognito())
            arguments << QStringLiteral("--private-window");
        return arguments << account.url;
    }
    QStringList arguments{QStringLiteral("-na"),
                          browser,
                          QStringLiteral("--args"),
                          QStringLiteral("--user-data-dir=") + profileDir,
                          QStringLiteral("--no-first-run"),
                          QStringLiteral("--no-default-browser-check")};
    if (Settings::incognito())
        arguments << QStringLiteral("--incognito");
    // Split at U+0020 only; tabs stay inside their word, nothing is unquoted.
    arguments << extra;
    arguments << account.url;
    return arguments;
}

bool profileInUse(const QString& profileDir)
{
    return lockHeldByLiveProcess(profileDir + QStringLiteral("/SingletonLock"), QStringLiteral("-")) ||
           lockHeldByLiveProcess(profileDir + QStringLiteral("/lock"), QStringLiteral(":+"));
}

bool accountInUse(const QUuid& id)
{
    const auto folders = Paths::accountProfileFolders(id);
    return std::any_of(folders.cbegin(), folders.cend(), [](const auto& folder) { return profileInUse(folder.first); });
}

bool isWebAddress(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    const bool web = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    return url.isValid() && web && !url.host().isEmpty() && !couldBeReadAsSwitch(text);
}

QString refusal(const Account& account)
{
    // The URL comes from a file anyone may have edited or synced.
    if (!isWebAddress(account.url))
        return QStringLiteral("its URL is not an http or https address");
    const auto browser = resolveBrowser(account);
    const QString profile = browser ? profileFolder(account, *browser, findExecutable(*browser)) : QString();
    if (!profile.isEmpty() && Paths::isLink(profile) && !Paths::makePrivateDir(profile))
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

    const QString profile = profileFolder(account, *browser, executable);
    // Both the profiles folder and the account's own are private to the user.
    // Without its own folder the browser would use its default profile and mix
    // this account's logins with the user's everyday ones.
    const QString base = QFileInfo(QFileInfo(profile).path()).path();
    if (!Paths::makePrivateDir(base) || !Paths::makePrivateDir(QFileInfo(profile).path()) ||
        !Paths::makePrivateDir(profile)) {
        qWarning("Corvalink: the profile folder %s cannot be made private and writable, so %s is not opened in a "
                 "browser",
                 qPrintable(profile), qPrintable(account.idText()));
        return false;
    }

    QString error;
    if (isFirefoxFamily(*browser) && !QFileInfo::exists(profile + QStringLiteral("/user.js")) &&
        !SafeWrite::write(profile + QStringLiteral("/user.js"), firefoxUserJs, &error))
        qWarning("Corvalink: could not prepare the Firefox profile %s: %s", qPrintable(profile), qPrintable(error));
    const QStringList arguments = launchArguments(account, *browser, profile);
    const QStringList browserArguments = arguments.mid(arguments.indexOf(QStringLiteral("--args")) + 1);
    return QProcess::startDetached(executable, browserArguments);
}

} // namespace BrowserLauncher
