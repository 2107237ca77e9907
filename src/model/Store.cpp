#include "Store.h"

#include "AccountsFile.h"
#include "CloudDownload.h"
#include "CloudPresence.h"
#include "Paths.h"
#include "SafeWrite.h"
#include "Settings.h"

#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include <algorithm>

namespace {

const QString accountsFileName = QStringLiteral("accounts.json");

// The first list in its order, then every record of the second whose id it lacks.
QList<Account> mergeById(QList<Account> first, const QList<Account>& second)
{
    for (const Account& account : second) {
        if (Account::indexOf(first, account.id) < 0)
            first.append(account);
    }
    return first;
}

QString cloudFile()
{
    return Store::cloudDir() + QLatin1Char('/') + accountsFileName;
}

// What iCloud Drive puts in place of a file it has not downloaded yet.
QString placeholderFile()
{
    return Store::cloudDir() + QStringLiteral("/.accounts.json.icloud");
}

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
    SafeWrite::removeLeftovers(m_baseDir + QLatin1Char('/') + accountsFileName);
    if (syncing()) {
        prepareCloud();
        SafeWrite::removeLeftovers(cloudFile());
    }
    m_activePath = activeFile();
    const FileRead read = readFile(m_activePath);
    if (read.state == FileRead::State::Present) {
        if (auto list = AccountsFile::decode(read.bytes, &m_readError)) {
            m_accounts = std::move(*list);
            m_known.insert(m_activePath, read.bytes);
        }
    } else {
        m_readError = read.error;
    }
    startWatching();
}

Store::~Store() = default;

QString Store::profileDir(const QUuid& id) const
{
    return Paths::profileFolder(id, m_baseDir);
}

QString Store::activeFile() const
{
    return syncing() ? cloudFile() : m_baseDir + QLatin1Char('/') + accountsFileName;
}

Store::FileRead Store::readFile(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return {FileRead::State::Missing, {}, {}};
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return {FileRead::State::Unreadable,
                {},
                QFileInfo(path).isFile() ? file.errorString() : QStringLiteral("it is not a file")};
    return {FileRead::State::Present, file.readAll(), {}};
}

std::optional<QList<Account>> Store::changedOutside(const QString& path, const FileRead& read)
{
    if (read.state != FileRead::State::Present || read.bytes == m_known.value(path))
        return std::nullopt;
    auto list = AccountsFile::decode(read.bytes);
    if (list)
        m_known.insert(path, read.bytes);
    return list;
}

void Store::reload()
{
    if (syncing())
        prepareCloud();
    if (followActiveFile())
        return;
    const FileRead read = readFile(m_activePath);
    if (read.state != FileRead::State::Present) {
        m_readError = read.error;
        return;
    }
    // The very text of the list in memory needs no decoding to compare equal.
    if (read.bytes == m_known.value(m_activePath)) {
        m_readError.clear();
        return;
    }
    auto list = AccountsFile::decode(read.bytes, &m_readError);
    if (!list)
        return;
    m_readError.clear();
    m_known.insert(m_activePath, read.bytes);
    if (*list == m_accounts)
        return;
    m_accounts = std::move(*list);
    Q_EMIT accountsChanged();
}

// Switching files (iCloud Drive mounted or gone) must not lose an account: the
// newly active file's records win, every other record in memory goes after them.
bool Store::followActiveFile()
{
    const QString path = activeFile();
    if (path == m_activePath)
        return false;
    const FileRead read = readFile(path);
    // A cloud file that is only a placeholder so far: stay with the file in use
    // until it has arrived, rather than write over what is still in the cloud.
    if (read.state == FileRead::State::Missing && path == cloudFile() && QFileInfo::exists(placeholderFile()))
        return false;
    m_activePath = path;
    QList<Account> merged = m_accounts;
    if (read.state == FileRead::State::Present) {
        if (auto list = AccountsFile::decode(read.bytes)) {
            m_known.insert(path, read.bytes);
            merged = mergeById(std::move(*list), m_accounts);
        }
    }
    const bool changed = !(merged == m_accounts);
    m_accounts = std::move(merged);
    if (read.state != FileRead::State::Present || AccountsFile::encode(m_accounts) != read.bytes)
        write(path, read);
    if (changed)
        announceLater();
    return true;
}

void Store::announceLater()
{
    // Not from inside a caller's own change: observers rebuild their views.
    QMetaObject::invokeMethod(this, &Store::accountsChanged, Qt::QueuedConnection);
}

bool Store::keepUnreadableCopy(const QString& path)
{
    const QString copy = path + QStringLiteral(".unreadable-") +
                         QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    if (!QFile::copy(path, copy)) {
        qWarning("Corvalink: %s cannot be read and cannot be copied aside; it is left as it is", qPrintable(path));
        return false;
    }
    qWarning("Corvalink: %s could not be read; kept a copy as %s", qPrintable(path), qPrintable(copy));
    return true;
}

// Writes the list in memory over the file, as the caller just read it. A file
// there that this store did not write and that does not decode is copied aside
// first, whoever made it.
bool Store::write(const QString& path, const FileRead& current)
{
    if (path == cloudFile())
        QDir().mkpath(cloudDir());
    const bool foreign = current.state == FileRead::State::Unreadable ||
                         (current.state == FileRead::State::Present && current.bytes != m_known.value(path) &&
                          !AccountsFile::decode(current.bytes));
    if (foreign && !keepUnreadableCopy(path))
        return false;
    const QByteArray bytes = AccountsFile::encode(m_accounts);
    QString error;
    if (!SafeWrite::write(path, bytes, &error)) {
        qWarning("Corvalink: could not write %s: %s", qPrintable(path), qPrintable(error));
        return false;
    }
    m_known.insert(path, bytes);
    return true;
}

// Every change is made on the file as it is now: an edit made outside since the
// last read (another Corvalink, the user's editor) is taken first, then the
// change is applied to it by id.
void Store::change(const Edit& edit)
{
    followActiveFile();
    QList<Account> list = m_accounts;
    const FileRead read = readFile(m_activePath);
    if (auto outside = changedOutside(m_activePath, read)) {
        list = std::move(*outside);
        if (!(list == m_accounts))
            announceLater();
    }
    const bool save = edit(list);
    m_accounts = std::move(list);
    if (save)
        write(m_activePath, read);
}

void Store::save()
{
    change([](QList<Account>&) { return true; });
}

void Store::append(const Account& account)
{
    change([&](QList<Account>& list) {
        list.append(account);
        return true;
    });
}

void Store::update(const Account& account)
{
    change([&](QList<Account>& list) {
        const qsizetype index = Account::indexOf(list, account.id);
        if (index < 0)
            return false;
        list[index] = account;
        return true;
    });
}

void Store::markOpened(const Account& account)
{
    change([&](QList<Account>& list) {
        const qsizetype index = Account::indexOf(list, account.id);
        if (index < 0)
            return false;
        list[index].lastOpened = Account::nowReferenceSeconds();
        return true;
    });
}

void Store::remove(const Account& account, bool deleteProfile)
{
    change([&](QList<Account>& list) {
        list.removeIf([&](const Account& stored) { return stored.id == account.id; });
        return true;
    });
    if (deleteProfile)
        QDir(profileDir(account.id)).removeRecursively();
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

bool Store::cloudAvailable()
{
    return CloudPresence::isPresent(cloudRoot());
}

bool Store::syncing() const
{
    return Settings::iCloudSync() && cloudAvailable();
}

void Store::prepareCloud()
{
    QDir().mkpath(cloudDir());
    if (QFileInfo::exists(placeholderFile()))
        CloudDownload::request(cloudFile());
}

bool Store::enableSync()
{
    if (!cloudAvailable())
        return false;
    prepareCloud();
    const QString path = cloudFile();
    const FileRead read = readFile(path);
    // Merging with a file that is not here yet would write the local list over it.
    if (read.state == FileRead::State::Missing && QFileInfo::exists(placeholderFile())) {
        qWarning("Corvalink: iCloud Drive has not downloaded %s yet; sync can be switched on once it has",
                 qPrintable(path));
        return false;
    }
    QList<Account> cloud;
    if (read.state == FileRead::State::Present) {
        if (auto list = AccountsFile::decode(read.bytes)) {
            m_known.insert(path, read.bytes);
            cloud = std::move(*list);
        }
    }
    Settings::setICloudSync(true);
    m_accounts = mergeById(std::move(cloud), m_accounts);
    m_activePath = path;
    write(path, read);
    startWatching();
    Q_EMIT accountsChanged();
    return true;
}

// The list in memory, which is the cloud's, goes to the local file. Records
// written there by someone else since this store last knew it are kept too.
void Store::disableSync()
{
    Settings::setICloudSync(false);
    const QString path = activeFile();
    const FileRead read = readFile(path);
    if (m_known.contains(path)) {
        if (auto outside = changedOutside(path, read))
            m_accounts = mergeById(m_accounts, *outside);
    }
    m_activePath = path;
    write(path, read);
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
    const QString file = cloudFile();
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
