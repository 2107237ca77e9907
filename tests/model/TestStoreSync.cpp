#include "AccountsFile.h"
#include "Settings.h"
#include "Store.h"
#include "TestAccounts.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSignalSpy>
#include <QTemporaryDir>

// iCloud Drive sync against a folder at the iCloud Drive path in a temporary HOME.
class TestStoreSync : public QObject {
    Q_OBJECT

private:
    QTemporaryDir* m_dir = nullptr;

    QString base() const { return m_dir->path() + QStringLiteral("/Corvalink"); }
    QString localFile() const { return base() + QStringLiteral("/accounts.json"); }
    static QString cloudFile() { return Store::cloudDir() + QStringLiteral("/accounts.json"); }

    static Account account(const QString& label, QUuid id = QUuid::createUuid())
    {
        Account a = TestAccounts::make(label);
        a.id = id;
        return a;
    }

    static QStringList labelsIn(const QString& file)
    {
        const auto list = AccountsFile::decode(TestEnvironment::readFile(file));
        return list ? TestAccounts::labels(*list) : QStringList{QStringLiteral("<unreadable>")};
    }

    // As a sync client does: a new file beside the old one, renamed over it.
    static void replaceByRename(const QString& file, const QList<Account>& accounts)
    {
        const QString temporary = QFileInfo(file).path() + QStringLiteral("/.sync-incoming");
        TestEnvironment::writeFile(temporary, AccountsFile::encode(accounts));
        QVERIFY(::rename(temporary.toLocal8Bit().constData(), file.toLocal8Bit().constData()) == 0);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = new QTemporaryDir;
        QDir(TestEnvironment::home() + QStringLiteral("/Library")).removeRecursively();
        Settings::d().clear();
    }
    void cleanup() { delete m_dir; }

    void withoutICloudDriveNothingChanges()
    {
        TestEnvironment::writeFile(localFile(), AccountsFile::encode({account(QStringLiteral("a"))}));
        const QByteArray before = TestEnvironment::readFile(localFile());
        Store store(base());
        QSignalSpy changed(&store, &Store::accountsChanged);
        QVERIFY(!store.enableSync());
        QVERIFY(!Settings::iCloudSync());
        QCOMPARE(changed.count(), 0);
        QCOMPARE(TestEnvironment::readFile(localFile()), before);
        QVERIFY(!QFileInfo::exists(Store::cloudRoot()));
        QVERIFY(!store.isWatching());
    }

    void switchingOnWithoutACloudFileUploadsTheLocalList()
    {
        QDir().mkpath(Store::cloudRoot());
        TestEnvironment::writeFile(localFile(), AccountsFile::encode({account(QStringLiteral("a"))}));
        const QByteArray local = TestEnvironment::readFile(localFile());
        Store store(base());
        QSignalSpy changed(&store, &Store::accountsChanged);
        QVERIFY(store.enableSync());
        QCOMPARE(changed.count(), 1);
        QVERIFY(Settings::iCloudSync());
        QVERIFY(store.syncing());
        QCOMPARE(labelsIn(cloudFile()), QStringList{QStringLiteral("a")});
        QCOMPARE(TestEnvironment::readFile(localFile()), local);
        QVERIFY(store.isWatching());
        // Profiles stay local.
        QVERIFY(store.profileDir(store.accounts().first().id).startsWith(base()));
    }

    void mergeByIdTheCloudWins()
    {
        const QUuid b = QUuid::createUuid();
        TestEnvironment::writeFile(cloudFile(), AccountsFile::encode({account("A"), account("B", b)}));
        TestEnvironment::writeFile(localFile(), AccountsFile::encode({account("B-local", b), account("C")}));
        Store store(base());
        QVERIFY(store.enableSync());
        QCOMPARE(TestAccounts::labels(store.accounts()), (QStringList{"A", "B", "C"}));
        QCOMPARE(labelsIn(cloudFile()), (QStringList{"A", "B", "C"}));
    }

    void anUnreadableCloudFileIsKeptBeforeItIsReplaced()
    {
        const QByteArray garbage("{ this is not an accounts list");
        TestEnvironment::writeFile(cloudFile(), garbage);
        TestEnvironment::writeFile(localFile(), AccountsFile::encode({account("local")}));
        Store store(base());
        QVERIFY(store.enableSync());
        QCOMPARE(labelsIn(cloudFile()), QStringList{"local"});
        const QStringList copies =
            QDir(Store::cloudDir()).entryList({QStringLiteral("accounts.json.unreadable-*")}, QDir::Files);
        QCOMPARE(copies.size(), 1);
        QCOMPARE(TestEnvironment::readFile(Store::cloudDir() + '/' + copies.first()), garbage);
    }

    void outsideChangesArriveWithoutUserAction()
    {
        QDir().mkpath(Store::cloudRoot());
        Store store(base());
        QVERIFY(store.enableSync());
        QSignalSpy changed(&store, &Store::accountsChanged);

        // Twice by rename: the watch must survive the first replacement.
        replaceByRename(cloudFile(), {account("one")});
        QTRY_COMPARE_WITH_TIMEOUT(TestAccounts::labels(store.accounts()), QStringList{"one"}, 5000);
        replaceByRename(cloudFile(), {account("one"), account("two")});
        QTRY_COMPARE_WITH_TIMEOUT(store.accounts().size(), 2, 5000);
        // And once written in place.
        TestEnvironment::writeFile(cloudFile(), AccountsFile::encode({account("three")}));
        QTRY_COMPARE_WITH_TIMEOUT(TestAccounts::labels(store.accounts()), QStringList{"three"}, 5000);
        QCOMPARE(changed.count(), 3);

        // Only a placeholder: the list stays as it is.
        QFile::remove(cloudFile());
        TestEnvironment::writeFile(Store::cloudDir() + "/.accounts.json.icloud", "placeholder");
        QTest::qWait(300);
        store.reload();
        QCOMPARE(TestAccounts::labels(store.accounts()), QStringList{"three"});
        QCOMPARE(changed.count(), 3);
    }

    void thePollFindsWhatTheWatcherMissed()
    {
        QDir().mkpath(Store::cloudRoot());
        Store store(base());
        QVERIFY(store.enableSync());
        store.setPollInterval(std::chrono::milliseconds(200));
        // A mount that reports nothing, as network file systems do.
        for (QFileSystemWatcher* watcher : store.findChildren<QFileSystemWatcher*>())
            watcher->blockSignals(true);
        TestEnvironment::writeFile(cloudFile(), AccountsFile::encode({account("polled")}));
        QTRY_COMPARE_WITH_TIMEOUT(TestAccounts::labels(store.accounts()), QStringList{"polled"}, 3000);
    }

    void withICloudDriveGoneTheLocalFileIsUsed()
    {
        QDir().mkpath(Store::cloudRoot());
        TestEnvironment::writeFile(localFile(), AccountsFile::encode({account("local")}));
        Store store(base());
        QVERIFY(store.enableSync());
        store.append(account("cloud only"));
        QDir(TestEnvironment::home() + QStringLiteral("/Library")).removeRecursively();

        QVERIFY(Settings::iCloudSync());
        QVERIFY(!store.syncing());
        QSignalSpy changed(&store, &Store::accountsChanged);
        store.reload();
        QCOMPARE(TestAccounts::labels(store.accounts()), QStringList{"local"});
        QCOMPARE(changed.count(), 1);
        store.append(account("later"));
        QCOMPARE(labelsIn(localFile()), (QStringList{"local", "later"}));
    }

    void switchingOffWritesTheLocalFileAndStopsWatching()
    {
        QDir().mkpath(Store::cloudRoot());
        TestEnvironment::writeFile(cloudFile(), AccountsFile::encode({account("cloud")}));
        TestEnvironment::writeFile(localFile(), AccountsFile::encode({account("local")}));
        Store store(base());
        QVERIFY(store.enableSync());
        QSignalSpy changed(&store, &Store::accountsChanged);
        store.disableSync();
        QVERIFY(!Settings::iCloudSync());
        QVERIFY(!store.isWatching());
        QCOMPARE(labelsIn(localFile()), (QStringList{"cloud", "local"}));
        QCOMPARE(labelsIn(cloudFile()), (QStringList{"cloud", "local"}));
        QCOMPARE(changed.count(), 0);

        // Back on: the cloud version wins, local-only records go last.
        store.append(account("new local"));
        QVERIFY(store.enableSync());
        QCOMPARE(TestAccounts::labels(store.accounts()), (QStringList{"cloud", "local", "new local"}));
    }

    void aStoreStartedWhileSyncingWatchesFromTheBeginning()
    {
        QDir().mkpath(Store::cloudDir());
        Settings::setICloudSync(true);
        TestEnvironment::writeFile(cloudFile(), AccountsFile::encode({account("cloud")}));
        Store store(base());
        QCOMPARE(TestAccounts::labels(store.accounts()), QStringList{"cloud"});
        QVERIFY(store.isWatching());
        replaceByRename(cloudFile(), {account("changed")});
        QTRY_COMPARE_WITH_TIMEOUT(TestAccounts::labels(store.accounts()), QStringList{"changed"}, 5000);
    }
};

CORVALINK_TEST_MAIN(TestStoreSync)
#include "TestStoreSync.moc"
