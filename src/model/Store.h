#pragma once

#include "Account.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

class QFileSystemWatcher;
class QTimer;

// The one owner of the accounts list. Every file access decides afresh whether
// the list lives in the data folder or in the iCloud Drive folder.
class Store : public QObject {
    Q_OBJECT

public:
    static Store& shared();

    // Tests make their own store on a temporary data folder.
    explicit Store(const QString& baseDir, QObject* parent = nullptr);
    ~Store() override;

    const QList<Account>& accounts() const { return m_accounts; }
    const QString& baseDir() const { return m_baseDir; }
    QString profileDir(const QUuid& id) const;
    QString activeFile() const;
    // Why the active file could not be read at the last reading; empty when it
    // could, or when there is none yet.
    const QString& readError() const { return m_readError; }
    // Why switching sync on failed the last time it was tried; empty once it succeeded.
    const QString& syncProblem() const { return m_syncProblem; }

    void reload();
    void save();
    // The add-account flow: the record goes last, then the list is saved.
    void append(const Account& account);
    void update(const Account& account);
    void markOpened(const Account& account);
    void remove(const Account& account, bool deleteProfile);
    // Most recently opened first, then never opened ones by label.
    static QList<Account> sorted(QList<Account> accounts);
    static void sortInPlace(std::vector<const Account*>& accounts);

    // iCloud Drive.
    static QString cloudRoot();
    static QString cloudDir();
    // Whether iCloud Drive is there: its root exists and is a mount point or holds something.
    static bool cloudAvailable();
    bool syncing() const;
    // False, with nothing switched, when the merged list could not be written
    // to iCloud Drive (syncProblem says why).
    bool enableSync();
    // What the General tab does when sync is switched off.
    void disableSync();
    void startWatching();
    bool isWatching() const;
    // The product polls every 15 seconds; tests shorten it.
    void setPollInterval(std::chrono::milliseconds interval);

Q_SIGNALS:
    void accountsChanged();

private:
    struct FileRead {
        // NotAFile: a folder, a FIFO, a socket or a device; never opened.
        enum class State { Missing, NotAFile, Unreadable, Present } state;
        QByteArray bytes;
        QString error;
    };
    // Changes the list and tells whether there is anything to save.
    using Edit = std::function<bool(QList<Account>&)>;
    // Only removing the last account may write an empty list over accounts.
    enum class Emptying { Refused, Allowed };

    static FileRead readFile(const QString& path);
    // The file as it is on disk, when it changed since this store last read or wrote it.
    std::optional<QList<Account>> changedOutside(const QString& path, const FileRead& read);
    void change(const Edit& edit, Emptying emptying = Emptying::Refused);
    // The file's list merged with `other`; a record missing now from one side
    // that the file had when this store last knew it was removed there.
    QList<Account> mergeWithFile(const QString& path, const FileRead& read, const QList<Account>& other,
                                 bool fileFirst);
    bool write(const QString& path, const FileRead& current, const QList<Account>& list,
               Emptying emptying = Emptying::Refused);
    static bool moveDanglingLinkAside(const QString& path);
    void remember(const QString& path, const QByteArray& bytes, const QList<Account>& list);
    QString localFile() const;
    QString basesFile() const;
    QList<std::pair<QString, QString>> fileRoles() const;
    // The file in use when the last Corvalink stopped, when it is not the one in
    // use now; m_accounts then holds its list as that Corvalink knew it.
    std::optional<QString> loadBases();
    void saveBases();
    bool reloadFile();
    void reportWriteFailure(const QString& why);
    bool followActiveFile();
    void announceLater();
    void prepareCloud();
    void watchCloudPaths();
    void stopWatching();

    QString m_baseDir;
    QList<Account> m_accounts;
    // The file m_accounts was last read from or written to.
    QString m_activePath;
    // For each accounts file, the bytes this store last read from it (when they
    // decoded) or wrote to it: anything else there was changed by someone else.
    QHash<QString, QByteArray> m_known;
    // For each accounts file, the list it held when this store last knew it,
    // and which file was in use, kept across restarts while syncing: what a
    // three-way merge needs, also when the drive went or came while no
    // Corvalink ran.
    QHash<QString, QList<Account>> m_knownLists;
    QString m_savedActivePath;
    QString m_readError;
    QString m_writeError;
    QString m_syncProblem;
    QPointer<QFileSystemWatcher> m_watcher;
    QPointer<QTimer> m_pollTimer;
    std::chrono::milliseconds m_pollInterval{15000};
};
