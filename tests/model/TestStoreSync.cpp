#include "AccountsFile.h"
#include "Settings.h"
#include "Store.h"
#include "TestAccounts.h"
#include "TestEnvironment.h"

#include <QFileSystemWatcher>

#include <unistd.h>

using TestAccounts::labels;
using List = QStringList;

// iCloud Drive sync against a folder at the iCloud Drive path in a temporary HOME.
class TestStoreSync : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString base() const { return m_dir->path() + u"/Corvalink"_s; }
    QString localFile() const { return base() + u"/accounts.json"_s; }
    static QString cloudFile() { return Store::cloudDir() + u"/accounts.json"_s; }
    static QString placeholder() { return Store::cloudDir() + u"/.accounts.json.icloud"_s; }
    static Account account(const QString& label) { return TestAccounts::make(label); }
    static void write(const QString& file, const QList<Account>& accounts)
    {
        TestEnvironment::writeFile(file, AccountsFile::encode(accounts));
    }
    static void write(const QString& file, const QStringList& labels)
    {
        QList<Account> accounts;
        for (const QString& label : labels)
            accounts << account(label);
        write(file, accounts);
    }
    static QStringList labelsIn(const QString& file)
    {
        const auto list = AccountsFile::decode(TestEnvironment::readFile(file));
        return list ? labels(*list) : List{u"<unreadable>"_s};
    }
    // As a sync client does: a new file beside the old one, renamed over it.
    static void replaceByRename(const QString& file, const QStringList& accounts)
    {
        write(file + u".incoming"_s, accounts);
        QVERIFY(::rename(QFile::encodeName(file + u".incoming"_s), QFile::encodeName(file)) == 0);
    }
    // iCloud Drive with something in it, as a synced drive always has.
    static void makeDrive() { TestEnvironment::writeFile(Store::cloudRoot() + u"/Documents/notes.txt"_s, "notes"); }

    // As an rclone mount gives it: a file system of its own (here a tmpfs that
    // keeps its content between mounts) mounted on the root.
    static QString driveBacking() { return TestEnvironment::home() + u"/drive"_s; }
    static bool isMountPoint(const QString& path) { return QProcess::execute("mountpoint", {"-q", path}) == 0; }
    static bool mount(const QStringList& arguments) { return QProcess::execute("mount", arguments) == 0; }
    static bool mountDrive()
    {
        QDir().mkpath(driveBacking());
        QDir().mkpath(Store::cloudRoot());
        if (!isMountPoint(driveBacking()) && !mount({"-t", "tmpfs", "none", driveBacking()}))
            return false;
        return mount({"--bind", driveBacking(), Store::cloudRoot()});
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QDir(TestEnvironment::home() + u"/Library"_s).removeRecursively();
        QDir(driveBacking()).removeRecursively();
        Settings::d().clear();
    }
    void cleanup()
    {
        for (const QString& path : {Store::cloudRoot(), driveBacking()}) {
            while (isMountPoint(path))
                QProcess::execute("umount", {path});
        }
    }

    // Neither a missing root nor an empty folder where the drive would be
    // mounted is iCloud Drive: nothing goes there. An empty drive mounted there is.
    void onlyARealDriveIsICloudDrive()
    {
        write(localFile(), {"a"});
        const QByteArray before = TestEnvironment::readFile(localFile());
        Store store(base());
        QSignalSpy changed(&store, &Store::accountsChanged);
        QVERIFY(!store.enableSync());
        QVERIFY(!Settings::iCloudSync() && !store.isWatching() && changed.isEmpty());
        QCOMPARE(TestEnvironment::readFile(localFile()), before);
        QVERIFY(!QFileInfo::exists(Store::cloudRoot()));

        QDir().mkpath(Store::cloudRoot());
        QVERIFY(!Store::cloudAvailable() && !store.enableSync());
        Settings::setICloudSync(true);
        store.append(account("b"));
        Store(base()).reload();
        QCOMPARE(labelsIn(localFile()), (List{"a", "b"}));
        QVERIFY(QDir(Store::cloudRoot()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        Settings::setICloudSync(false);
        if (geteuid() != 0 || !mount({"-t", "tmpfs", "none", Store::cloudRoot()}))
            QSKIP("mounting needs root; the mount point case is not covered here");
        QVERIFY(Store::cloudAvailable() && store.enableSync());
        QCOMPARE(labelsIn(cloudFile()), (List{"a", "b"}));
    }

    // On: merged by id, the cloud's records win; off: the local file gets the
    // list; on again: local-only records go last. Profiles stay local.
    void switchingOnAndOffMergesById()
    {
        makeDrive();
        Account b = account("B"), bLocal = b;
        bLocal.label = "B-local";
        write(cloudFile(), {account("A"), b});
        write(localFile(), {bLocal, account("C")});
        Store store(base());
        QSignalSpy changed(&store, &Store::accountsChanged);
        QVERIFY(store.enableSync());
        QVERIFY(Settings::iCloudSync() && store.syncing() && store.isWatching());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(labels(store.accounts()), (List{"A", "B", "C"}));
        QCOMPARE(labelsIn(cloudFile()), (List{"A", "B", "C"}));
        QCOMPARE(labelsIn(localFile()), (List{"B-local", "C"}));
        QVERIFY(store.profileDir(b.id).startsWith(base()));

        store.disableSync();
        QVERIFY(!Settings::iCloudSync() && !store.isWatching());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(labelsIn(localFile()), (List{"A", "B", "C"}));
        store.append(account("new local"));
        QFile::remove(cloudFile()); // no cloud file: the local list goes up as it is
        QVERIFY(store.enableSync());
        QCOMPARE(labelsIn(cloudFile()), (List{"A", "B", "C", "new local"}));
    }

    void everyUnreadableFileIsCopiedAsideBeforeItIsReplaced()
    {
        const QByteArray localGarbage(R"([{"id": 1}])"), cloudGarbage("{ this is not an accounts list");
        TestEnvironment::writeFile(localFile(), localGarbage);
        TestEnvironment::writeFile(cloudFile(), cloudGarbage);
        Store store(base());
        QVERIFY(store.enableSync());
        store.disableSync();
        for (const auto& [folder, garbage] :
             {std::pair{Store::cloudDir(), cloudGarbage}, std::pair{base(), localGarbage}}) {
            const QStringList copies = QDir(folder).entryList({u"accounts.json.unreadable-*"_s});
            QCOMPARE(copies.size(), 1);
            QCOMPARE(TestEnvironment::readFile(folder + u'/' + copies.first()), garbage);
        }
        QCOMPARE(labelsIn(localFile()), List{});
    }

    void switchingOnWaitsForACloudFileNotYetDownloaded()
    {
        TestEnvironment::writeFile(placeholder(), "placeholder");
        write(localFile(), {"local"});
        Store store(base());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"not downloaded"_s));
        QVERIFY(!store.enableSync());
        QVERIFY(!Settings::iCloudSync() && !QFileInfo::exists(cloudFile()));
        write(cloudFile(), {"cloud"}); // once it has arrived, the two lists merge
        QVERIFY(store.enableSync());
        QCOMPARE(labelsIn(cloudFile()), (List{"cloud", "local"}));
    }

    // A store started while syncing watches from the start; replacements by
    // rename and writes in place arrive, a placeholder changes nothing, and the
    // poll finds what a silent mount never reports.
    void outsideChangesArriveWithoutUserAction()
    {
        Settings::setICloudSync(true);
        write(cloudFile(), {"cloud"});
        Store store(base());
        QCOMPARE(labels(store.accounts()), List{"cloud"});
        QSignalSpy changed(&store, &Store::accountsChanged);
        replaceByRename(cloudFile(), {"one"});
        QTRY_COMPARE_WITH_TIMEOUT(labels(store.accounts()), List{"one"}, 5000);
        replaceByRename(cloudFile(), {"one", "two"});
        QTRY_COMPARE_WITH_TIMEOUT(store.accounts().size(), 2, 5000);
        write(cloudFile(), {"three"});
        QTRY_COMPARE_WITH_TIMEOUT(labels(store.accounts()), List{"three"}, 5000);
        QCOMPARE(changed.count(), 3);

        QFile::remove(cloudFile());
        TestEnvironment::writeFile(placeholder(), "placeholder");
        QTest::qWait(300);
        store.reload();
        QCOMPARE(labels(store.accounts()), List{"three"});
        QCOMPARE(changed.count(), 3);

        store.setPollInterval(std::chrono::milliseconds(200));
        for (QFileSystemWatcher* watcher : store.findChildren<QFileSystemWatcher*>())
            watcher->blockSignals(true);
        write(cloudFile(), {"polled"});
        QTRY_COMPARE_WITH_TIMEOUT(labels(store.accounts()), List{"polled"}, 3000);
    }

    void theDriveGoingAndComingBackLosesNothing()
    {
        // Without root, the drive's folder is moved away and back instead.
        const bool mounted = geteuid() == 0 && mountDrive();
        const auto unmount = [&] {
            return mounted ? QProcess::execute("umount", {Store::cloudRoot()}) == 0
                           : QDir().rename(Store::cloudRoot(), driveBacking());
        };
        const auto remount = [&] { return mounted ? mountDrive() : QDir().rename(driveBacking(), Store::cloudRoot()); };
        if (!mounted)
            makeDrive();
        write(localFile(), {"local"});
        Store store(base());
        store.setPollInterval(std::chrono::milliseconds(100));
        QVERIFY(store.enableSync());
        store.append(account("cloud only"));

        QVERIFY(unmount()); // the local file takes every account in memory
        QVERIFY(Settings::iCloudSync() && !store.syncing());
        QTRY_COMPARE(labelsIn(localFile()), (List{"local", "cloud only"}));
        store.append(account("while away"));
        QCOMPARE(labelsIn(localFile()), (List{"local", "cloud only", "while away"}));

        QVERIFY(remount()); // the cloud file takes what was added meanwhile
        QTRY_COMPARE(labelsIn(cloudFile()), (List{"local", "cloud only", "while away"}));
        QCOMPARE(labels(store.accounts()), (List{"local", "cloud only", "while away"}));
        store.disableSync();
        QCOMPARE(labelsIn(localFile()), (List{"local", "cloud only", "while away"}));
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
        QDir(TestEnvironment::home() + u"/Library"_s).removeRecursively();
        store.append(account("while away"));

        makeDrive();
        TestEnvironment::writeFile(placeholder(), "placeholder");
        store.reload();
        store.append(account("still away"));
        QVERIFY(!QFileInfo::exists(cloudFile()));
        QCOMPARE(labelsIn(localFile()), (List{"cloud", "while away", "still away"}));

        TestEnvironment::writeFile(cloudFile(), cloudList); // the download arrived
        QFile::remove(placeholder());
        store.reload();
        QCOMPARE(labelsIn(cloudFile()), (List{"cloud", "while away", "still away"}));
    }
};

CORVALINK_TEST_MAIN(TestStoreSync)
#include "TestStoreSync.moc"
