#pragma once

#include "Account.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <optional>

class QFileSystemWatcher;
class QTimer;

// The name the accounts-changed announcement had on the first platform; kept so
// that logs and scripts can refer to it.
inline constexpr char accountsChangedName[] = "CorvalinkAccountsChanged";

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

    void reload();
    void save();
    // The add-account flow: the record goes last, then the list is saved.
    void append(const Account& account);
    void update(const Account& account);
    void markOpened(const Account& account);
    void remove(const Account& account, bool deleteProfile);
    static QList<Account> sorted(QList<Account> accounts);

    // iCloud Drive.
    static QString cloudRoot();
    static QString cloudDir();
    bool syncing() const;
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
    // Nothing when the file is missing; a file that is there but cannot be read
    // or decoded is remembered, so that it is copied aside before it is replaced.
    std::optional<QByteArray> readBytes(const QString& path);
    std::optional<QList<Account>> decode(const QString& path, const QByteArray& bytes);
    std::optional<QList<Account>> readAccounts(const QString& path);
    void take(QList<Account> accounts, QByteArray bytes);
    bool keepUnreadableCopy(const QString& path);
    void prepareCloud();
    static void removeStaleSaves(const QString& folder);
    void watchCloudPaths();
    void stopWatching();

    QString m_baseDir;
    QList<Account> m_accounts;
    // A text of the accounts file whose decoding equals m_accounts.
    QByteArray m_listBytes;
    // A file that was there but could not be read or decoded; it is copied aside
    // before the first save that would replace it.
    QString m_unreadablePath;
    QPointer<QFileSystemWatcher> m_watcher;
    QPointer<QTimer> m_pollTimer;
    std::chrono::milliseconds m_pollInterval{15000};
};
