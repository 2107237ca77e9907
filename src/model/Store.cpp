#include "Store.h"

#include "AccountsFile.h"
#include "CloudDownload.h"
#include "Paths.h"
#include "Settings.h"

#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>

namespace {

const QString accountsFileName = QStringLiteral("accounts.json");

} // namespace

Store& Store::shared()
{
    // Lives for the whole process, as every caller expects.
    static Store* store = new Store(Paths::dataFolder());
    return *store;
}

Store::Store(const QString& baseDir, QObject* parent)
    : QObject(parent)
    , m_baseDir(baseDir)
{
    Paths::makePrivateDir(m_baseDir);
    removeStaleSaves(m_baseDir);
    if (syncing()) {
        prepareCloud();
        removeStaleSaves(cloudDir());
    }
    const QString path = activeFile();
    if (const auto bytes = readBytes(path)) {
        if (auto list = decode(path, *bytes))
            take(std::move(*list), *bytes);
    }
    startWatching();
}

Store::~Store() = default;

void Store::removeStaleSaves(const QString& folder)
{
    // A save cut short (the process killed, the machine off) leaves its temporary
    // file beside the accounts file. One that has not changed for a minute belongs
    // to no save still running, in this process or another.
    static const QRegularExpression temporary(QStringLiteral("^accounts\\.json\\.[A-Za-z0-9]{6}$"));
    const QDateTime stale = QDateTime::currentDateTimeUtc().addSecs(-60);
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        if (temporary.match(entry.fileName()).hasMatch() && entry.lastModified() < stale)
            QFile::remove(entry.filePath());
    }
}

QString Store::profileDir(const QUuid& id) const
{
    return m_baseDir + QStringLiteral("/profiles/") + Account::idText(id);
}

QString Store::activeFile() const
{
    return (syncing() ? cloudDir() : m_baseDir) + QLatin1Char('/') + accountsFileName;
}

std::optional<QByteArray> Store::readBytes(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        m_unreadablePath = path;
        return std::nullopt;
    }
    return file.readAll();
}

std::optional<QList<Account>> Store::decode(const QString& path, const QByteArray& bytes)
{
    auto list = AccountsFile::decode(bytes);
    if (!list) {
        m_unreadablePath = path;
        return std::nullopt;
    }
    if (m_unreadablePath == path)
        m_unreadablePath.clear();
    return list;
}

std::optional<QList<Account>> Store::readAccounts(const QString& path)
{
    const auto bytes = readBytes(path);
    return bytes ? decode(path, *bytes) : std::nullopt;
}

void Store::take(QList<Account> accounts, QByteArray bytes)
{
    m_accounts = std::move(accounts);
    m_listBytes = std::move(bytes);
}

void Store::reload()
{
    if (syncing())
        prepareCloud();
    const QString path = activeFile();
    const auto bytes = readBytes(path);
    // The very text of the list in memory needs no decoding to compare equal.
    if (!bytes || *bytes == m_listBytes)
        return;
    auto list = decode(path, *bytes);
    if (!list)
        return;
    if (*list == m_accounts) {
        m_listBytes = *bytes;
        return;
    }
    take(std::move(*list), *bytes);
    Q_EMIT accountsChanged();
}

bool Store::keepUnreadableCopy(const QString& path)
{
    if (!QFileInfo::exists(path))
        return true;
    const QString copy = path + QStringLiteral(".unreadable-") +
                         QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    if (!QFile::copy(path, copy)) {
        qWarning("Corvalink: %s cannot be read and cannot be copied aside; it is left as it is", qPrintable(path));
        return false;
    }
    qWarning("Corvalink: %s could not be read; kept a copy as %s", qPrintable(path), qPrintable(copy));
    return true;
}

void Store::save()
{
    if (syncing())
        QDir().mkpath(cloudDir());
    const QByteArray bytes = AccountsFile::encode(m_accounts);
    m_listBytes = bytes;
    const QString path = activeFile();
    if (path == m_unreadablePath) {
        // Never replace a file we could not read without keeping it first.
        if (!keepUnreadableCopy(path))
            return;
        m_unreadablePath.clear();
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        qWarning("Corvalink: could not write %s: %s", qPrintable(path), qPrintable(file.errorString()));
}

void Store::append(const Account& account)
{
    m_accounts.append(account);
    save();
}

void Store::update(const Account& account)
{
    const auto it = std::find_if(m_accounts.begin(), m_accounts.end(),
                                 [&](const Account& stored) { return stored.id == account.id; });
    if (it == m_accounts.end())
        return;
    *it = account;
    save();
}

void Store::markOpened(const Account& account)
{
    const auto it = std::find_if(m_accounts.cbegin(), m_accounts.cend(),
                                 [&](const Account& stored) { return stored.id == account.id; });
    if (it == m_accounts.cend())
        return;
    Account stamped = *it;
    stamped.lastOpened = Account::nowReferenceSeconds();
    update(stamped);
}

void Store::remove(const Account& account, bool deleteProfile)
{
    m_accounts.removeIf([&](const Account& stored) { return stored.id == account.id; });
    if (deleteProfile)
        QDir(profileDir(account.id)).removeRecursively();
    save();
}

QList<Account> Store::sorted(QList<Account> accounts)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(accounts.begin(), accounts.end(), [&](const Account& a, const Account& b) {
        if (a.lastOpened && b.lastOpened && *a.lastOpened != *b.lastOpened)
            return *a.lastOpened > *b.lastOpened;
        if (a.lastOpened.has_value() != b.lastOpened.has_value())
            return a.lastOpened.has_value();
        return collator.compare(a.label, b.label) < 0;
    });
    return accounts;
}

// iCloud Drive ------------------------------------------------------------

QString Store::cloudRoot()
{
    return QDir::homePath() + QStringLiteral("/Library/Mobile Documents/com~apple~CloudDocs");
}

QString Store::cloudDir()
{
    return cloudRoot() + QStringLiteral("/Corvalink");
}

bool Store::syncing() const
{
    return Settings::iCloudSync() && QFileInfo::exists(cloudRoot());
}

void Store::prepareCloud()
{
    QDir().mkpath(cloudDir());
    const QString placeholder = cloudDir() + QStringLiteral("/.accounts.json.icloud");
    if (QFileInfo::exists(placeholder))
        CloudDownload::request(cloudDir() + QLatin1Char('/') + accountsFileName);
}

bool Store::enableSync()
{
    if (!QFileInfo::exists(cloudRoot()))
        return false;
    prepareCloud();
    const QString cloudFile = cloudDir() + QLatin1Char('/') + accountsFileName;
    QList<Account> merged = readAccounts(cloudFile).value_or(QList<Account>{});
    for (const Account& local : std::as_const(m_accounts)) {
        const bool known =
            std::any_of(merged.cbegin(), merged.cend(), [&](const Account& cloud) { return cloud.id == local.id; });
        if (!known)
            merged.append(local);
    }
    Settings::setICloudSync(true);
    m_accounts = std::move(merged);
    save();
    startWatching();
    Q_EMIT accountsChanged();
    return true;
}

void Store::disableSync()
{
    Settings::setICloudSync(false);
    save();
    startWatching();
}

void Store::stopWatching()
{
    delete m_watcher;
    delete m_pollTimer;
}

void Store::startWatching()
{
    stopWatching();
    if (!syncing())
        return;
    QDir().mkpath(cloudDir());

    m_watcher = new QFileSystemWatcher(this);
    // Sync clients replace the file by rename, which drops a watch on the file
    // itself: watch the folder too, and put back what was lost after every event.
    const auto onChange = [this] {
        reload();
        watchCloudPaths();
    };
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, onChange);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, onChange);
    watchCloudPaths();

    m_pollTimer = new QTimer(this);
    m_pollTimer->setInterval(m_pollInterval);
    connect(m_pollTimer, &QTimer::timeout, this, &Store::reload);
    m_pollTimer->start();
}

void Store::watchCloudPaths()
{
    if (!m_watcher)
        return;
    const QString file = cloudDir() + QLatin1Char('/') + accountsFileName;
    if (QFileInfo::exists(cloudDir()) && !m_watcher->directories().contains(cloudDir()))
        m_watcher->addPath(cloudDir());
    if (QFileInfo::exists(file) && !m_watcher->files().contains(file))
        m_watcher->addPath(file);
}

bool Store::isWatching() const
{
    return m_watcher || m_pollTimer;
}

void Store::setPollInterval(std::chrono::milliseconds interval)
{
    m_pollInterval = interval;
    if (m_pollTimer)
        m_pollTimer->setInterval(interval);
}
