#include "Store.h"

#include "AccountsFile.h"
#include "CloudDownload.h"
#include "CloudPresence.h"
#include "FileLock.h"
#include "Paths.h"
#include "SafeWrite.h"
#include "Settings.h"

#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString accountsFileName = QStringLiteral("accounts.json");

// Three ways: a record that one side lacks now although `base` (the ids both
// sides held when they last agreed) has it was removed on that side, and stays
// removed; any other record is kept. With no base, nothing counts as removed.
// The first list's records and order come first.
QList<Account> mergeThreeWay(const QList<Account>& first, const QList<Account>& second,
                             const std::optional<QSet<QUuid>>& base)
{
    const auto inBase = [&](const Account& account) { return base && base->contains(account.id); };
    QList<Account> merged;
    for (const Account& account : first) {
        if (!inBase(account) || Account::indexOf(second, account.id) >= 0)
            merged.append(account);
    }
    for (const Account& account : second) {
        if (!inBase(account) && Account::indexOf(first, account.id) < 0)
            merged.append(account);
    }
    return merged;
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

QString timeStamp()
{
    return QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
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
    SafeWrite::removeLeftovers(localFile());
    if (syncing()) {
        prepareCloud();
        SafeWrite::removeLeftovers(cloudFile());
    }
    // The drive went or came while no Corvalink ran: the same merge as when it
    // happens under a running one.
    if (const auto lastActive = loadBases()) {
        m_activePath = *lastActive;
        const FileLock lock(localFile());
        followActiveFile();
        startWatching();
        return;
    }
    m_activePath = activeFile();
    const FileRead read = readFile(m_activePath);
    if (read.state == FileRead::State::Present) {
        if (auto list = AccountsFile::decode(read.bytes, &m_readError)) {
            m_accounts = std::move(*list);
            remember(m_activePath, read.bytes, m_accounts);
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

QString Store::localFile() const
{
    return m_baseDir + QLatin1Char('/') + accountsFileName;
}

QString Store::activeFile() const
{
    return syncing() ? cloudFile() : localFile();
}

// Opened without waiting and looked at before reading: a FIFO or a device in the
// file's place would block the tray app, so it is never read.
Store::FileRead Store::readFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return {FileRead::State::Missing, {}, {}};
        return {FileRead::State::Unreadable, {}, QString::fromLocal8Bit(std::strerror(errno))};
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return {FileRead::State::NotAFile, {}, QStringLiteral("it is not a regular file")};
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {FileRead::State::Unreadable, {}, file.errorString()};
    }
    return {FileRead::State::Present, file.readAll(), {}};
}

void Store::remember(const QString& path, const QByteArray& bytes, const QList<Account>& list)
{
    m_known.insert(path, bytes);
    if (m_knownLists.contains(path) && m_knownLists.value(path) == list && m_savedActivePath == m_activePath)
        return;
    m_knownLists.insert(path, list);
    if (Settings::iCloudSync())
        saveBases();
}

// Beside the local accounts file and never synced: what this computer last
// knew of each file, by its role.
QList<std::pair<QString, QString>> Store::fileRoles() const
{
    return {{QStringLiteral("local"), localFile()}, {QStringLiteral("cloud"), cloudFile()}};
}

QString Store::basesFile() const
{
    return m_baseDir + QStringLiteral("/sync-base.json");
}

std::optional<QString> Store::loadBases()
{
    QFile file(basesFile());
    if (!Settings::iCloudSync() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    for (const auto& [key, path] : fileRoles()) {
        const QByteArray text = QJsonDocument(object.value(key).toArray()).toJson();
        if (const auto list = object.value(key).isArray() ? AccountsFile::decode(text) : std::nullopt)
            m_knownLists.insert(path, *list);
    }
    m_savedActivePath = object.value(QStringLiteral("active")) == QLatin1String("cloud") ? cloudFile() : localFile();
    if (m_savedActivePath == activeFile() || !m_knownLists.contains(m_savedActivePath))
        return std::nullopt;
    m_accounts = m_knownLists.value(m_savedActivePath);
    return m_savedActivePath;
}

void Store::saveBases()
{
    QJsonObject object{
        {QStringLiteral("active"), m_activePath == cloudFile() ? QStringLiteral("cloud") : QStringLiteral("local")}};
    for (const auto& [key, path] : fileRoles()) {
        if (m_knownLists.contains(path))
            object.insert(key, QJsonDocument::fromJson(AccountsFile::encode(m_knownLists.value(path))).array());
    }
    QString error;
    if (!SafeWrite::write(basesFile(), QJsonDocument(object).toJson(), &error))
        qWarning("Corvalink: could not keep what sync needs to know of removals: %s", qPrintable(error));
    m_savedActivePath = m_activePath;
}

std::optional<QList<Account>> Store::changedOutside(const QString& path, const FileRead& read)
{
    if (read.state != FileRead::State::Present || read.bytes == m_known.value(path))
        return std::nullopt;
    auto list = AccountsFile::decode(read.bytes);
    if (list)
        remember(path, read.bytes, *list);
    return list;
}

void Store::reload()
{
    bool changed = false;
    {
        const FileLock lock(localFile());
        changed = reloadFile();
    }
    // Observers may change the list in turn: not while the lock is held.
    if (changed)
        Q_EMIT accountsChanged();
}

bool Store::reloadFile()
{
    if (syncing())
        prepareCloud();
    if (followActiveFile())
        return false;
    const FileRead read = readFile(m_activePath);
    if (read.state != FileRead::State::Present) {
        m_readError = read.error;
        return false;
    }
    // The very text of the list in memory needs no decoding to compare equal.
    if (read.bytes == m_known.value(m_activePath)) {
        m_readError.clear();
        return false;
    }
    auto list = AccountsFile::decode(read.bytes, &m_readError);
    if (!list)
        return false;
    m_readError.clear();
    remember(m_activePath, read.bytes, *list);
    if (*list == m_accounts)
        return false;
    m_accounts = std::move(*list);
    return true;
}

QList<Account> Store::mergeWithFile(const QString& path, const FileRead& read, const QList<Account>& other,
                                    bool fileFirst)
{
    std::optional<QList<Account>> onDisk;
    if (read.state == FileRead::State::Present)
        onDisk = AccountsFile::decode(read.bytes);
    if (!onDisk)
        return other;
    std::optional<QSet<QUuid>> base;
    if (m_knownLists.contains(path)) {
        base.emplace();
        for (const Account& account : m_knownLists.value(path))
            base->insert(account.id);
    }
    remember(path, read.bytes, *onDisk);
    return fileFirst ? mergeThreeWay(*onDisk, other, base) : mergeThreeWay(other, *onDisk, base);
}

// Switching files (iCloud Drive mounted or gone) must not lose an account nor
// bring a removed one back: the lists merge three ways, the newly active file's
// records win, and every other record in memory goes after them.
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
    QList<Account> merged = mergeWithFile(path, read, m_accounts, true);
    const bool changed = !(merged == m_accounts);
    if (read.state != FileRead::State::Present || AccountsFile::encode(merged) != read.bytes)
        write(path, read, merged);
    m_accounts = std::move(merged);
    if (changed)
        announceLater();
    return true;
}

void Store::announceLater()
{
    // Not from inside a caller's own change: observers rebuild their views.
    QMetaObject::invokeMethod(this, &Store::accountsChanged, Qt::QueuedConnection);
}

// A link that leads nowhere (say, to a disk that is not mounted) cannot take
// the list: it is kept aside under another name, and the list gets a file of its own.
bool Store::moveDanglingLinkAside(const QString& path)
{
    const QFileInfo link(path);
    if (!link.isSymLink() || QFileInfo(SafeWrite::resolveLinks(path)).dir().exists())
        return false;
    const QString aside = path + QStringLiteral(".link-") + timeStamp();
    if (!QFile::rename(path, aside))
        return false;
    qWarning("Corvalink: %s is a link to %s, which cannot be reached; the link was kept as %s and the accounts "
             "are written to a file of their own",
             qPrintable(path), qPrintable(link.symLinkTarget()), qPrintable(aside));
    return true;
}

void Store::reportWriteFailure(const QString& why)
{
    // Said once, not at every save that meets the same problem.
    if (why != m_writeError)
        qWarning("Corvalink: %s", qPrintable(why));
    m_writeError = why;
}

// Writes the list over the file, as the caller just read it. A file there that
// this store did not write and that does not decode is copied aside first,
// whoever made it; anything that is not a regular file is left alone.
bool Store::write(const QString& path, const FileRead& current, const QList<Account>& list, Emptying emptying)
{
    if (current.state == FileRead::State::NotAFile) {
        reportWriteFailure(QStringLiteral("%1 is not a regular file; it is left as it is").arg(path));
        return false;
    }
    if (list.isEmpty() && emptying == Emptying::Refused && current.state == FileRead::State::Present) {
        const auto onDisk = AccountsFile::decode(current.bytes);
        if (onDisk && !onDisk->isEmpty()) {
            reportWriteFailure(QStringLiteral("refused to write an empty list over the %1 accounts of %2")
                                   .arg(onDisk->size())
                                   .arg(path));
            return false;
        }
    }
    if (path == cloudFile())
        QDir().mkpath(cloudDir());
    const bool foreign = current.state == FileRead::State::Unreadable ||
                         (current.state == FileRead::State::Present && current.bytes != m_known.value(path) &&
                          !AccountsFile::decode(current.bytes));
    if (foreign && !SafeWrite::keepUnreadableCopy(path))
        return false;
    const QByteArray bytes = AccountsFile::encode(list);
    QString error;
    if (!SafeWrite::write(path, bytes, &error) &&
        !(moveDanglingLinkAside(path) && SafeWrite::write(path, bytes, &error))) {
        reportWriteFailure(QStringLiteral("could not write %1: %2").arg(path, error));
        return false;
    }
    m_writeError.clear();
    remember(path, bytes, list);
    return true;
}

// Every change is made on the file as it is now: an edit made outside since the
// last read (another Corvalink, the user's editor) is taken first, then the
// change is applied to it by id. The lock keeps other processes out meanwhile.
void Store::change(const Edit& edit, Emptying emptying)
{
    const FileLock lock(localFile());
    followActiveFile();
    QList<Account> list = m_accounts;
    const FileRead read = readFile(m_activePath);
    if (auto outside = changedOutside(m_activePath, read))
        list = std::move(*outside);
    const bool save = edit(list);
    // Every view of the list follows, whoever changed it.
    if (!(list == m_accounts))
        announceLater();
    m_accounts = std::move(list);
    if (save)
        write(m_activePath, read, m_accounts, emptying);
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
    change(
        [&](QList<Account>& list) {
            list.removeIf([&](const Account& stored) { return stored.id == account.id; });
            return true;
        },
        Emptying::Allowed);
    if (!deleteProfile)
        return;
    for (const auto& [profile, below] : Paths::accountProfileFolders(account.id, m_baseDir)) {
        QString error;
        if (!Paths::removeOwnFolder(profile, below, &error))
            qWarning("Corvalink: %s", qPrintable(error));
    }
}

void Store::sortInPlace(std::vector<const Account*>& accounts)
{
    // Opening a collator takes longer than sorting a group: one for the process.
    static const QCollator collator = [] {
        QCollator made;
        made.setCaseSensitivity(Qt::CaseInsensitive);
        return made;
    }();
    // One collation key per label of a never opened account, the ones sorted by
    // label: comparing keys costs far less than collating the labels again at
    // every comparison. Opened ones tie on their time only by chance.
    std::vector<std::pair<const Account*, std::optional<QCollatorSortKey>>> keyed;
    keyed.reserve(accounts.size());
    for (const Account* account : accounts) {
        keyed.emplace_back(account,
                           account->lastOpened ? std::nullopt : std::optional(collator.sortKey(account->label)));
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& x, const auto& y) {
        const Account& a = *x.first;
        const Account& b = *y.first;
        if (a.lastOpened && b.lastOpened && *a.lastOpened != *b.lastOpened)
            return *a.lastOpened > *b.lastOpened;
        if (a.lastOpened.has_value() != b.lastOpened.has_value())
            return a.lastOpened.has_value();
        return x.second && y.second ? x.second->compare(*y.second) < 0 : collator.compare(a.label, b.label) < 0;
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        accounts[i] = keyed[i].first;
}

QList<Account> Store::sorted(QList<Account> accounts)
{
    std::vector<const Account*> order;
    order.reserve(accounts.size());
    for (const Account& account : std::as_const(accounts))
        order.push_back(&account);
    sortInPlace(order);
    QList<Account> result;
    result.reserve(accounts.size());
    for (const Account* account : order)
        result.append(*account);
    return result;
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
    {
        const FileLock lock(localFile());
        prepareCloud();
        const QString path = cloudFile();
        const FileRead read = readFile(path);
        // Merging with a file that is not here yet would write the local list over it.
        if (read.state == FileRead::State::Missing && QFileInfo::exists(placeholderFile())) {
            m_syncProblem = QStringLiteral("iCloud Drive has not downloaded %1 yet").arg(path);
            qWarning("Corvalink: %s; sync can be switched on once it has", qPrintable(m_syncProblem));
            return false;
        }
        QList<Account> merged = mergeWithFile(path, read, m_accounts, true);
        if (!write(path, read, merged)) {
            m_syncProblem = m_writeError;
            qWarning("Corvalink: iCloud Drive sync stays off: %s", qPrintable(m_syncProblem));
            return false;
        }
        m_syncProblem.clear();
        Settings::setICloudSync(true);
        saveBases();
        m_accounts = std::move(merged);
        m_activePath = path;
    }
    startWatching();
    Q_EMIT accountsChanged();
    return true;
}

// The list in memory, which is the cloud's, goes to the local file, merged
// three ways with what someone else wrote there since this store last knew it.
void Store::disableSync()
{
    {
        const FileLock lock(localFile());
        Settings::setICloudSync(false);
        const QString path = activeFile();
        const FileRead read = readFile(path);
        m_accounts = mergeWithFile(path, read, m_accounts, false);
        m_activePath = path;
        write(path, read, m_accounts);
        saveBases();
    }
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
