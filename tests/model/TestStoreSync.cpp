#include "AccountsFile.h"
#include "Settings.h"
#include "Store.h"
#include "TestAccounts.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <unistd.h>

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

    // iCloud Drive with something in it, as a synced drive always has.
    static void makeDrive() { TestEnvironment::writeFile(Store::cloudRoot() + "/Documents/notes.txt", "notes"); }

    // As an rclone mount gives it: a file system of its own (here a tmpfs that
    // keeps its content between mounts) mounted on the root.
    static QString driveBacking() { return TestEnvironment::home() + QStringLiteral("/drive"); }
    static bool isMountPoint(const QString& path)
    {
        return QProcess::execute(QStringLiteral("mountpoint"), {QStringLiteral("-q"), path}) == 0;
    }
    static bool mount(const QStringList& arguments)
    {
        return QProcess::execute(QStringLiteral("mount"), arguments) == 0;
    }
    static bool mountDrive()
    {
        QDir().mkpath(driveBacking());
        QDir().mkpath(Store::cloudRoot());
        if (!isMountPoint(driveBacking()) && !mount({"-t", "tmpfs", "none", driveBacking()}))
            return false;
        return mount({QStringLiteral("--bind"), driveBacking(), Store::cloudRoot()});
    }
    static void unmountDrive() { QProcess::execute(QStringLiteral("umount"), {Store::cloudRoot()}); }

private Q_SLOTS:
    void init()
    {
        m_dir = new QTemporaryDir;
        QDir(TestEnvironment::home() + QStringLiteral("/Library")).removeRecursively();
        QDir(driveBacking()).removeRecursively();
        Settings::d().clear();
    }
    void cleanup()
    {
        for (const QString& path : {Store::cloudRoot(), driveBacking()}) {
            while (isMountPoint(path))
                QProcess::execute(QStringLiteral("umount"), {path});
        }
        delete m_dir;
    }

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

    void anEmptyFolderIsNotICloudDriveButAMountedOneIs()
    {
        // Where the drive would be mounted, but is not (yet): nothing goes there.
        QDir().mkpath(Store::cloudRoot());
        TestEnvironment::writeFile(localFile(), AccountsFile::encode({account(QStringLiteral("a"))}));
        Store store(base());
        QVERIFY(!Store::cloudAvailable());
        QVERIFY(!store.enableSync());
        Settings::setICloudSync(true);
        store.append(account(QStringLiteral("b")));
        Store restarted(base());
        restarted.reload();
        QCOMPARE(labelsIn(localFile()), (QStringList{"a", "b"}));
        QVERIFY(QDir(Store::cloudRoot()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        Settings::setICloudSync(false);

        // An empty drive mounted there is iCloud Drive.
        if (geteuid() != 0 || !mount({"-t", "tmpfs", "none", Store::cloudRoot()}))
            QSKIP("mounting needs root; the mount point case is not covered here");
        QVERIFY(Store::cloudAvailable());
        QVERIFY(store.enableSync());
        QCOMPARE(labelsIn(cloudFile()), (QStringList{"a", "b"}));
    }

    void switchingOnWithoutACloudFileUploadsTheLocalList()
    {
        makeDrive();
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

    void everyUnreadableFileIsCopiedAsideBeforeItIsReplaced()
    {
        const QByteArray localGarbage("[{\"id\": 1}]");
        const QByteArray cloudGarbage("{ this is not an accounts list");
        TestEnvironment::writeFile(localFile(), localGarbage);
        TestEnvironment::writeFile(cloudFile(), cloudGarbage);
        Store store(base());
        QVERIFY(store.enableSync());
        store.disableSync();
        for (const auto& [folder, garbage] :
             {std::pair{Store::cloudDir(), cloudGarbage}, std::pair{base(), localGarbage}}) {
            const QStringList copies = QDir(folder).entryList({QStringLiteral("accounts.json.unreadable-*")});
            QCOMPARE(copies.size(), 1);
            QCOMPARE(TestEnvironment::readFile(folder + '/' + copies.first()), garbage);
        }
        QCOMPARE(labelsIn(localFile()), QStringList{});
    }

    void switchingOnWaitsForACloudFileNotYetDownloaded()
    {
        TestEnvironment::writeFile(Store::cloudDir() + "/.accounts.json.icloud", "placeholder");
        TestEnvironment::writeFile(localFile(), AccountsFile::encode({account(QStringLiteral("local"))}));
        Store store(base());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not downloaded")));
        QVERIFY(!store.enableSync());
        QVERIFY(!Settings::iCloudSync());
        QVERIFY(!QFileInfo::exists(cloudFile()));

        // Once it has arrived, the two lists merge.
        TestEnvironment::writeFile(cloudFile(), AccountsFile::encode({account(QStringLiteral("cloud"))}));
        QVERIFY(store.enableSync());
        QCOMPARE(labelsIn(cloudFile()), (QStringList{"cloud", "local"}));
    }

    void outsideChangesArriveWithoutUserAction()
    {
        makeDrive();
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
        makeDrive();
        Store store(base());
        QVERIFY(store.enableSync());
        store.setPollInterval(std::chrono::milliseconds(200));
        // A mount that reports nothing, as network file systems do.
        for (QFileSystemWatcher* watcher : store.findChildren<QFileSystemWatcher*>())
            watcher->blockSignals(true);
        TestEnvironment::writeFile(cloudFile(), AccountsFile::encode({account("polled")}));
        QTRY_COMPARE_WITH_TIMEOUT(TestAccounts::labels(store.accounts()), QStringList{"polled"}, 3000);
    }

    void theDriveGoingAndComingBackLosesNothing()
    {
        // Without root, the drive's folder is moved away and back instead.
        const bool mounted = geteuid() == 0 && mountDrive();
        const auto unmountDrive = [&] {
            if (mounted)
                TestStoreSync::unmountDrive();
            else
                QVERIFY(QDir().rename(Store::cloudRoot(), driveBacking()));
        };
        const auto mountDrive = [&] {
            return mounted ? TestStoreSync::mountDrive() : QDir().rename(driveBacking(), Store::cloudRoot());
        };
        if (!mounted)
            makeDrive();
        TestEnvironment::writeFile(localFile(), AccountsFile::encode({account(QStringLiteral("local"))}));
        Store store(base());
        store.setPollInterval(std::chrono::milliseconds(100));
        QVERIFY(store.enableSync());
        store.append(account("cloud only"));

        // Unmounted: the local file takes every account in memory.
        unmountDrive();
        QVERIFY(Settings::iCloudSync());
        QVERIFY(!store.syncing());
        QTRY_COMPARE(labelsIn(localFile()), (QStringList{"local", "cloud only"}));
        store.append(account("while away"));
        QCOMPARE(labelsIn(localFile()), (QStringList{"local", "cloud only", "while away"}));

        // Mounted again: the cloud file takes what was added meanwhile.
        QVERIFY(mountDrive());
        QTRY_COMPARE(labelsIn(cloudFile()), (QStringList{"local", "cloud only", "while away"}));
        QCOMPARE(TestAccounts::labels(store.accounts()), (QStringList{"local", "cloud only", "while away"}));

        store.disableSync();
        QCOMPARE(labelsIn(localFile()), (QStringList{"local", "cloud only", "while away"}));
    }

    // Back, but with the accounts file not downloaded yet: nothing is written over
    // it, and the lists merge once it has arrived.
    void theDriveBackWithOnlyAPlaceholderIsWaitedFor()
    {
        makeDrive();
        Store store(base());
        QVERIFY(store.enableSync());
        const QByteArray cloudList = AccountsFile::encode({account("cloud")});
        TestEnvironment::writeFile(cloudFile(), cloudList);
        store.reload();
        QDir(TestEnvironment::home() + QStringLiteral("/Library")).removeRecursively();
        store.append(account("while away"));

        makeDrive();
        TestEnvironment::writeFile(Store::cloudDir() + "/.accounts.json.icloud", "placeholder");
        store.reload();
        store.append(account("still away"));
        QVERIFY(!QFileInfo::exists(cloudFile()));
        QCOMPARE(labelsIn(localFile()), (QStringList{"cloud", "while away", "still away"}));

        TestEnvironment::writeFile(cloudFile(), cloudList); // the download arrived
        QFile::remove(Store::cloudDir() + "/.accounts.json.icloud");
        store.reload();
        QCOMPARE(labelsIn(cloudFile()), (QStringList{"cloud", "while away", "still away"}));
    }

    void switchingOffWritesTheLocalFileAndStopsWatching()
    {
        makeDrive();
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
