#include "AccountsFile.h"
#include "LinkRules.h"
#include "SafeWrite.h"
#include "Settings.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QFileSystemWatcher>
#include <QRandomGenerator>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using TestAccounts::labels;
using List = QStringList;

// The accounts list, its file and its sync through a folder at the iCloud Drive
// path in the temporary HOME. Nothing is lost: saves survive being killed at
// any moment, and the store survives its file being changed underneath it.
class TestStore : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString base() const { return m_dir->path() + u"/Corvalink"_s; }
    QString file() const { return base() + u"/accounts.json"_s; }
    QByteArray onDisk() const { return TestEnvironment::readFile(file()); }
    QList<Account> accountsOnDisk() const { return AccountsFile::decode(onDisk()).value_or(QList<Account>{}); }
    QStringList copiesAside() const { return QDir(base()).entryList({u"accounts.json.unreadable-*"_s}, QDir::Files); }
    static Account account(const QString& label, std::optional<double> lastOpened = std::nullopt)
    {
        Account a = TestAccounts::make(label);
        a.lastOpened = lastOpened;
        return a;
    }
    static QList<Account> accounts(int count)
    {
        QList<Account> list;
        for (int i = 0; i < count; ++i)
            list.append(account(u"init"_s)); // each with an id of its own
        return list;
    }

    // A whole file: every account, in its place, and nothing else.
    static bool isWhole(const QList<Account>& initial, const QByteArray& bytes)
    {
        const auto list = AccountsFile::decode(bytes);
        return list && std::equal(list->cbegin(), list->cend(), initial.cbegin(), initial.cend(),
                                  [](const Account& a, const Account& b) { return a.id == b.id; });
    }

    static QString cloudFile() { return Store::cloudDir() + u"/accounts.json"_s; }
    static QString placeholder() { return Store::cloudDir() + u"/.accounts.json.icloud"_s; }
    static void write(const QString& file, const QList<Account>& accounts) { TestAccounts::write(file, accounts); }
    static void write(const QString& file, const QStringList& labels)
    {
        QList<Account> accounts;
        for (const QString& label : labels)
            accounts << account(label);
        write(file, accounts);
    }
    // What the store holds, then the local file, then the cloud file ("-" when there is none).
    QString state(const Store& store) const
    {
        const QString cloud = QFileInfo::exists(cloudFile()) ? labelsIn(cloudFile()).join(u',') : u"-"_s;
        return labels(store.accounts()).join(u',') + " | " + labelsIn(file()).join(u',') + " | " + cloud;
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

    const QDir m_corpus{QStringLiteral(CORVALINK_TEST_COMMON_DIR "/../fuzz/corpus")};

    static Account sample()
    {
        Account account = TestAccounts::make("work", "GitHub", "https://github.com/login");
        account.id = QUuid::fromString(u"6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8"_s);
        return account;
    }
    // Written and read again it is the same list, and written again the same text.
    static void verifyRoundTrip(const QList<Account>& list)
    {
        const QByteArray written = AccountsFile::encode(list);
        const auto again = AccountsFile::decode(written);
        QVERIFY(again && *again == list);
        QCOMPARE(AccountsFile::encode(*again), written);
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

    // A file that does not read keeps the list, and is copied aside before it is
    // replaced, once; one back byte for byte is not copied; the store's own save
    // and an unchanged file are no change.
    void anUnreadableFileKeepsTheListAndIsCopiedAsideOnce()
    {
        // A first start writes nothing, and makes the data folder private.
        QDir().mkpath(base());
        QFile::setPermissions(base(), QFileDevice::Permissions(0x7755)); // left open by an earlier version
        QVERIFY(Store(base()).accounts().isEmpty() && !QFileInfo::exists(file()) && TestEnvironment::isPrivate(base()));
        Account work = account("work", 100.5);
        write(file(), {work});
        Store store(base());
        QSignalSpy changed(&store, &Store::accountsChanged);
        const QByteArray original = onDisk();
        TestEnvironment::writeFile(file(), original.left(20));
        store.reload();
        TestEnvironment::writeFile(file(), original);
        store.save();
        store.reload();
        QVERIFY(changed.isEmpty() && copiesAside().isEmpty());

        const QByteArray corrupt(R"([{"id": "not an id"}])");
        TestEnvironment::writeFile(file(), corrupt);
        store.reload();
        QVERIFY(changed.isEmpty() && labels(store.accounts()) == List{"work"});
        store.append(account("new"));
        store.save();
        QCOMPARE(copiesAside().size(), 1);
        QCOMPARE(TestEnvironment::readFile(base() + u'/' + copiesAside().first()), corrupt);
        QCOMPARE(labelsIn(file()), (List{"work", "new"}));

        work.label = "private";
        write(file(), {work});
        store.reload();
        QVERIFY(changed.count() == 1 && labels(store.accounts()) == List{"private"});
    }

    // Another Corvalink (a "--open" run) or the user's editor changed the file
    // since this store read it: each change lands on top of that, by id.
    void changesMadeOutsideSinceTheLastReadAreKept()
    {
        const Account a = account("a"), b = account("b");
        write(file(), {a, b});
        Store store(base()), other(base());
        other.markOpened(a);
        other.append(account("restored"));
        Account renamed = b;
        renamed.label = "b renamed";
        store.update(renamed);
        QCOMPARE(labelsIn(file()), (List{"a", "b renamed", "restored"}));
        QCOMPARE(accountsOnDisk().first().lastOpened, other.accounts().first().lastOpened);
        other.append(account("later"));
        store.remove(a, false);
        QCOMPARE(labelsIn(file()), (List{"b renamed", "restored", "later"}));
        QCOMPARE(labels(store.accounts()), labelsIn(file()));
    }

    void accountOrder()
    {
        const double now = Account::nowReferenceSeconds();
        const QList<Account> input{
            account("b"),     account("lastWeek", now - 7 * 86400), account("A"),   account("yesterday", now - 86400),
            account("a"),     account(u"\u00E9t\u00E9"_s),          account("ete"), account("z", now),
            account("m", now)};

        // Accents count, case does not; A and a keep their file order; the same instant falls back to the label.
        QCOMPARE(labels(Store::sorted(input)),
                 (List{"m", "z", "yesterday", "lastWeek", "A", "a", "b", "ete", u"\u00E9t\u00E9"_s}));

        // Changes to records that are not there write nothing, not even a reformatted
        // file; removal always saves, and deletes the profile only when asked.
        const Account keep = account("keep"), drop = account("drop");
        write(file(), {keep, drop});
        const QByteArray handEdited = onDisk().replace("    ", "\t");
        TestEnvironment::writeFile(file(), handEdited);
        Store store(base());
        store.update(account("stranger"));
        store.markOpened(account("stranger"));
        QCOMPARE(onDisk(), handEdited);
        Account stale = keep;
        stale.label = "stale";
        const double before = Account::nowReferenceSeconds();
        store.markOpened(stale); // stamps the stored record, keeps its label
        QCOMPARE(accountsOnDisk().first().label, "keep");
        QVERIFY(*accountsOnDisk().first().lastOpened >= before - 0.001);
        QVERIFY(*accountsOnDisk().first().lastOpened <= Account::nowReferenceSeconds() + 0.001);

        TestEnvironment::writeFile(file(), handEdited);
        store.remove(account("stranger"), true); // no profile folder is no error
        QCOMPARE(onDisk(), AccountsFile::encode(store.accounts()));
        QDir().mkpath(store.profileDir(drop.id) + u"/Default"_s);
        store.remove(keep, false);
        store.remove(drop, true);
        QVERIFY(!QFileInfo::exists(store.profileDir(drop.id)) && accountsOnDisk().isEmpty());
    }

    void killedWhileSavingTheFileIsAlwaysWhole()
    {
        const QList<Account> initial = accounts(200);
        write(file(), initial);
        QSet<qint64> sizes{onDisk().size()};
        for (int kill = 0; kill < 40; ++kill) {
            QProcess child;
            child.start(QCoreApplication::applicationDirPath() + u"/store_saver"_s, {base()});
            // Every other kill waits for a finished save, so that on a slow machine
            // too the kills land both before and after the first save.
            const QByteArray awaited = kill % 2 ? "saved" : "ready";
            while (!child.peek(64).contains(awaited) && child.waitForReadyRead(30000)) {
            }
            QVERIFY(child.peek(64).contains(awaited));
            QTest::qSleep(int(QRandomGenerator::global()->bounded(25)));
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished(10000));
            QVERIFY2(isWhole(initial, onDisk()), qPrintable(u"after kill %1"_s.arg(kill)));
            sizes.insert(onDisk().size());
        }
        QVERIFY(sizes.size() > 1); // a kill after a finished save finds another file

        // Interrupted saves may leave their temporary files; the next start removes
        // those that have not changed for a minute, and nothing the user made.
        const QStringList leftovers = QDir(base()).entryList(QDir::Files | QDir::Hidden).filter("corvalink-save-");
        TestEnvironment::writeFile(base() + u"/.accounts.json.corvalink-save-Fresh1"_s, "{");
        TestEnvironment::writeFile(base() + u"/accounts.json.backup"_s, "the user's copy");
        const auto age = [&](const QString& name, int seconds) {
            QFile old(base() + u'/' + name);
            return old.open(QIODevice::ReadWrite) && old.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-seconds),
                                                                     QFileDevice::FileModificationTime);
        };
        for (const QString& name : leftovers + List{u"accounts.json.backup"_s})
            QVERIFY(age(name, 120));
        QVERIFY(age(u".accounts.json.corvalink-save-Fresh1"_s, 50)); // another process may be saving
        Store restarted(base());
        QCOMPARE(QDir(base()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (List{".accounts.json.corvalink-save-Fresh1", "accounts.json", "accounts.json.backup"}));
        QCOMPARE(TestEnvironment::readFile(base() + u"/accounts.json.backup"_s), "the user's copy");

        // Replaced or deleted: the list stays and is written back.
        write(file(), accounts(3));
        Store store(base());
        const QList<Account> replaced = accounts(2);
        TestEnvironment::writeFile(file() + u".new"_s, AccountsFile::encode(replaced));
        QVERIFY(QFile::remove(file()) && QFile::rename(file() + u".new"_s, file()));
        store.reload();
        QCOMPARE(store.accounts(), replaced); // replaced by someone else: taken over
        QFile::remove(file());
        store.reload();
        QCOMPARE(store.accounts(), replaced); // deleted: the list stays, the next save writes it back
        store.save();
        QCOMPARE(accountsOnDisk(), replaced);
    }

    // Neither a missing root nor an empty folder where the drive would be
    // mounted is iCloud Drive: nothing goes there. An empty drive mounted there is.
    void onlyARealDriveIsICloudDrive()
    {
        write(file(), {"a"});
        const QByteArray before = TestEnvironment::readFile(file());
        Store store(base());
        QSignalSpy changed(&store, &Store::accountsChanged);
        QVERIFY(!store.enableSync() && !Settings::iCloudSync() && !store.isWatching() && changed.isEmpty());
        QVERIFY(TestEnvironment::readFile(file()) == before && !QFileInfo::exists(Store::cloudRoot()));
        QDir().mkpath(Store::cloudRoot());
        QVERIFY(!Store::cloudAvailable() && !store.enableSync());
        Settings::setICloudSync(true);
        store.append(account("b"));
        Store(base()).reload();
        QCOMPARE(state(store), "a,b | a,b | -");
        QVERIFY(QDir(Store::cloudRoot()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        Settings::setICloudSync(false);
        if (geteuid() != 0 || !mount({"-t", "tmpfs", "-o", "ro", "none", Store::cloudRoot()}))
            QSKIP("mounting needs root; the mount point case is not covered here");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"sync stays off: could not write"_s));
        QVERIFY(Store::cloudAvailable() && !store.enableSync() && !Settings::iCloudSync());
        QVERIFY(store.syncProblem().contains("accounts.json"));
        QVERIFY(mount({"-o", "remount,rw", Store::cloudRoot()}) && store.enableSync());
        QString full;
        QVERIFY(mount({"-o", "remount,size=8k", Store::cloudRoot()}));
        QVERIFY(!SafeWrite::write(Store::cloudRoot() + u"/big"_s, QByteArray(64 << 10, 'x'), &full));
        QCOMPARE(full, QString::fromLocal8Bit(std::strerror(ENOSPC)));
        QCOMPARE(state(store), "a,b | a,b | a,b");
    }

    // On: merged by id, the cloud's records win; off: the local file gets the
    // list; on again with no cloud file: the list goes up as it is. Profiles stay local.
    void switchingOnAndOffMergesById()
    {
        makeDrive();
        Account b = account("B"), bLocal = b;
        bLocal.label = "B-local";
        write(cloudFile(), {account("A"), b});
        write(file(), {bLocal, account("C")});
        Store store(base());
        QSignalSpy changed(&store, &Store::accountsChanged);
        QVERIFY(store.enableSync() && Settings::iCloudSync() && store.syncing() && store.isWatching());
        QCOMPARE(state(store), "A,B,C | B-local,C | A,B,C");
        QVERIFY(store.profileDir(b.id).startsWith(base()));
        store.disableSync();
        QVERIFY(!Settings::iCloudSync() && !store.isWatching() && changed.count() == 1);
        QCOMPARE(state(store), "A,B,C | A,B,C | A,B,C");
        store.append(account("D"));
        QFile::remove(cloudFile());
        QVERIFY(store.enableSync());
        QCOMPARE(state(store), "A,B,C,D | A,B,C,D | A,B,C,D");
    }

    void everyUnreadableFileIsCopiedAsideBeforeItIsReplaced()
    {
        const QByteArray localGarbage(R"([{"id": 1}])"), cloudGarbage("{ this is not an accounts list");
        TestEnvironment::writeFile(file(), localGarbage);
        TestEnvironment::writeFile(cloudFile(), cloudGarbage);
        Store store(base());
        QVERIFY(store.enableSync());
        store.disableSync();
        for (const auto& [folder, garbage] : {std::pair{Store::cloudDir(), cloudGarbage}, {base(), localGarbage}}) {
            const QStringList copies = QDir(folder).entryList({u"accounts.json.unreadable-*"_s});
            QCOMPARE(copies.size(), 1);
            QCOMPARE(TestEnvironment::readFile(folder + u'/' + copies.first()), garbage);
        }
        QCOMPARE(state(store), " |  | ");
    }

    // A store started while syncing watches from the start; replacements by
    // rename and writes in place arrive, a placeholder changes nothing, and the
    // poll finds what a silent mount never reports.
    void outsideChangesArriveWithoutUserAction()
    {
        Settings::setICloudSync(true);
        write(cloudFile(), {"cloud"});
        Store store(base());
        QSignalSpy changed(&store, &Store::accountsChanged);
        for (const QStringList& list : {List{"one"}, List{"one", "two"}}) { // the watch survives a replacement
            replaceByRename(cloudFile(), list);
            QTRY_COMPARE_WITH_TIMEOUT(labels(store.accounts()), list, 5000);
        }
        write(cloudFile(), {"three"});
        QTRY_COMPARE_WITH_TIMEOUT(labels(store.accounts()), List{"three"}, 5000);
        QFile::remove(cloudFile());
        TestEnvironment::writeFile(placeholder(), "placeholder");
        QTest::qWait(300);
        store.reload();
        QVERIFY(labels(store.accounts()) == List{"three"} && changed.count() == 3);

        store.setPollInterval(std::chrono::milliseconds(200));
        for (QFileSystemWatcher* watcher : store.findChildren<QFileSystemWatcher*>())
            watcher->blockSignals(true);
        write(cloudFile(), {"polled"});
        QTRY_COMPARE_WITH_TIMEOUT(labels(store.accounts()), List{"polled"}, 3000);
    }

    // The drive unmounted: the local file takes every account in memory; back:
    // the cloud file takes what was added meanwhile. Without root, the drive's
    // folder is moved away and back instead.
    void theDriveGoingAndComingBackLosesNothing()
    {
        const bool mounted = geteuid() == 0 && mountDrive();
        const auto unmount = [&] {
            return mounted ? QProcess::execute("umount", {Store::cloudRoot()}) == 0
                           : QDir().rename(Store::cloudRoot(), driveBacking());
        };
        const auto remount = [&] { return mounted ? mountDrive() : QDir().rename(driveBacking(), Store::cloudRoot()); };
        if (!mounted)
            makeDrive();
        write(file(), {"local"});
        Store store(base());
        store.setPollInterval(std::chrono::milliseconds(100));
        QVERIFY(store.enableSync());
        store.append(account("cloud only"));
        QVERIFY(unmount());
        QTRY_COMPARE(state(store), "local,cloud only | local,cloud only | -");
        store.append(account("away"));
        QVERIFY(Settings::iCloudSync() && !store.syncing() && remount());
        QTRY_COMPARE(state(store), "local,cloud only,away | local,cloud only,away | local,cloud only,away");
    }

    // A removal stays one wherever the list goes: the drive leaving and coming
    // back under the running app or while none runs; on its return the cloud
    // file's record wins for an id both sides have (another computer's edit).
    void aRemovalStaysARemoval()
    {
        makeDrive();
        const Account a = account("a"), b = account("b"), c = account("c");
        const auto away = [] { return QDir().rename(Store::cloudRoot(), driveBacking()); };
        const auto back = [] { return QDir().rename(driveBacking(), Store::cloudRoot()); };
        write(file(), {a, b, c});
        auto store = std::make_unique<Store>(base());
        QVERIFY(store->enableSync());
        store->remove(b, false);
        QVERIFY(away());
        store->reload();
        QCOMPARE(state(*store), "a,c | a,c | -");
        store->remove(c, false);
        Account edited = a;
        edited.label = "A";
        write(driveBacking() + u"/Corvalink/accounts.json"_s, {edited, c, account("e")});
        QVERIFY(back());
        store->reload();
        QCOMPARE(state(*store), "A,e | a | A,e");

        store.reset(); // the drive goes and comes while no Corvalink runs
        QVERIFY(away());
        store = std::make_unique<Store>(base());
        QCOMPARE(state(*store), "a,e | a,e | -");
        store->remove(store->accounts().last(), false);
        store.reset();
        QVERIFY(back());
        QCOMPARE(state(Store(base())), "A | a | A");
    }

    // An accounts file the user linked elsewhere is written through, or kept
    // aside when it leads nowhere; what is not a regular file is never opened.
    void linksAndSpecialFiles()
    {
        const QString target = TestEnvironment::home() + u"/dotfiles/accounts.json"_s;
        write(target, {"dot"});
        QVERIFY(QDir().mkpath(base()) && QFile::link(target, file()));
        Store throughLink(base());
        throughLink.append(account("added"));
        QVERIFY(QFileInfo(file()).isSymLink() && labelsIn(target) == (List{"dot", "added"}));
        QVERIFY(QDir(TestEnvironment::home() + u"/dotfiles"_s).removeRecursively());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"cannot be reached; the link was kept as"_s));
        throughLink.append(account("later"));
        QCOMPARE(labelsIn(file()), (List{"dot", "added", "later"}));
        QCOMPARE(QDir(base()).entryList({u"accounts.json.link-*"_s}, QDir::System).size(), 1);

        QVERIFY(QFile::remove(file()) && ::mkfifo(QFile::encodeName(file()).constData(), 0600) == 0);
        Store fifo(base());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"not a regular file; it is left as it is"_s));
        fifo.append(account("x"));
        QVERIFY(!fifo.readError().isEmpty() && !QFileInfo(file()).isFile() && copiesAside().isEmpty());
    }

    // Two processes adding at once: every account is kept.
    void concurrentProcessesLoseNothing()
    {
        write(file(), {"first"});
        QProcess one, two;
        for (QProcess* saver : {&one, &two})
            saver->start(QCoreApplication::applicationDirPath() + u"/store_saver"_s, {base(), "add", "100"});
        QVERIFY(one.waitForFinished(60000) && two.waitForFinished(60000));
        QCOMPARE(accountsOnDisk().size(), 201);
    }

    // A cloud file that is only a placeholder is waited for: switching on fails
    // and writes nothing there, and a drive back with only the placeholder gets
    // nothing written over it; once the file has arrived, the lists merge.
    void aPlaceholderIsWaitedFor()
    {
        TestEnvironment::writeFile(placeholder(), "placeholder");
        write(file(), {"local"});
        Store store(base());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"not downloaded"_s));
        QVERIFY(!store.enableSync() && !Settings::iCloudSync() && !QFileInfo::exists(cloudFile()));
        write(cloudFile(), {"cloud"});
        QVERIFY(store.enableSync());
        const QByteArray cloudList = TestEnvironment::readFile(cloudFile());
        QDir(TestEnvironment::home() + u"/Library"_s).removeRecursively();
        store.append(account("away"));
        makeDrive();
        TestEnvironment::writeFile(placeholder(), "placeholder");
        store.reload();
        store.append(account("still"));
        QCOMPARE(state(store), "local,cloud,away,still | local,cloud,away,still | -");
        TestEnvironment::writeFile(cloudFile(), cloudList); // the download arrived
        QFile::remove(placeholder());
        store.reload();
        QCOMPARE(state(store), "cloud,local,away,still | local,cloud,away,still | cloud,local,away,still");
    }
    // Optional keys only when present, every key in code-point order.
    void writtenByteForByteAndReadBack()
    {
        QCOMPARE(AccountsFile::encode({}), "[\n]\n");
        QCOMPARE(AccountsFile::encode({sample()}), TestEnvironment::readFile(m_corpus.filePath("accepted-minimal")));
        Account full = sample();
        full.browser = "Brave Browser";
        full.color = "Blue";
        full.lastOpened = 786543210.25;
        full.label = u"a\"\\\t\u0001\u00E9\U0001F600"_s;
        QCOMPARE(AccountsFile::encode({full}), TestEnvironment::readFile(m_corpus.filePath("accepted-written-full")));

        // Every value survives a round trip.
        for (const double seconds : {786543210.123456789, 0.1 + 0.2, 700000000.0, -12345.678901234567, 5e-324, -0.0}) {
            Account dated = account("work");
            dated.lastOpened = seconds;
            dated.browser = "Chromium";
            verifyRoundTrip({dated, sample()});
            QCOMPARE(*AccountsFile::decode(AccountsFile::encode({dated}))->first().lastOpened, seconds);
        }
        Account awkward = account("work");
        awkward.label = u"quote \" backslash \\ slash / tab \t newline \n bell \a \u001F \u2028"_s;
        awkward.siteName = u"Caf\u00E9 \u4E2D\u6587 \U0001F600"_s;
        verifyRoundTrip({awkward});

        // A lone surrogate, as a file may hold it ("\ud800"), reads back unchanged.
        const auto lone = AccountsFile::decode(
            R"([{"id":"6f1c2a3b-4d5e-4f60-8172-93a4b5c6d7e8","siteName":"S","url":"u","label":"a\ud800b"}])");
        QCOMPARE(lone.value().first().label.size(), 3);
        verifyRoundTrip(*lone);
    }

    void readingRules_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString& name : m_corpus.entryList(QDir::Files))
            QTest::newRow(qPrintable(name)) << name;
        QVERIFY(m_corpus.entryList(QDir::Files).filter("accepted-").size() > 5);
    }

    void readingRules()
    {
        QFETCH(QString, name);
        QString why;
        const auto list = AccountsFile::decode(TestEnvironment::readFile(m_corpus.filePath(name)), &why);
        if (name.startsWith("accepted-") || name.startsWith("refused-"))
            QCOMPARE(list.has_value(), name.startsWith("accepted-"));
        QCOMPARE(why.isEmpty(), list.has_value()); // a refusal always says why
        if (list)
            verifyRoundTrip(*list);
    }

    // Which account a link's host opens in: exact hosts beat wildcards, which
    // cover subdomains only; a removed account's rules count for nothing and are
    // dropped; an unreadable rules file is copied aside before it is replaced.
    void linkRules()
    {
        const Account work = account("work"), perso = account("perso");
        LinkRules rules(base());
        QVERIFY(rules.add(u"*.github.com"_s, perso.id) && rules.add(u"GitHub.com"_s, work.id) &&
                rules.add(u"gist.github.com"_s, work.id) && !rules.add(u"github.com/x"_s, work.id));
        for (const auto& [host, expected] : {std::pair{"github.com", work.id},
                                             {"api.github.com", perso.id},
                                             {"gist.github.com", work.id},
                                             {"xgithub.com", QUuid()},
                                             {"github.com.evil.org", QUuid()}})
            QCOMPARE(rules.accountFor(QString::fromLatin1(host), {work, perso}).value_or(QUuid()), expected);
        QVERIFY(!rules.accountFor(u"api.github.com"_s, {work}));
        QVERIFY(rules.dropMissing({perso}) &&
                LinkRules(base()).rules() == (QList<LinkRules::Rule>{{u"*.github.com"_s, perso.id}}));
        QCOMPARE(LinkRules::registrableDomain(u"gist.github.com"_s) + ' ' +
                     LinkRules::registrableDomain(u"a.b.co.uk"_s),
                 "github.com b.co.uk");

        TestEnvironment::writeFile(rules.path(), "{ not rules");
        LinkRules unreadable(base());
        QVERIFY(unreadable.rules().isEmpty() && !unreadable.readError().isEmpty());
        QVERIFY(unreadable.add(u"example.org"_s, work.id) && LinkRules(base()).rules().size() == 1);
        const QStringList aside = QDir(base()).entryList({u"link-rules.json.unreadable-*"_s});
        QVERIFY(aside.size() == 1 && TestEnvironment::readFile(base() + u'/' + aside.first()) == "{ not rules");
    }

    // Texts compare in NFC; a browser present but empty differs from none, and so does a last opening.
    void equalityComparesCanonicalText()
    {
        Account composed = sample(), decomposed = sample(), emptyBrowser = sample(), opened = sample();
        composed.label = u"caf\u00E9"_s;
        decomposed.label = u"cafe\u0301"_s;
        emptyBrowser.browser = QString();
        opened.lastOpened = 1.0;
        QVERIFY(composed == decomposed && !(emptyBrowser == sample()) && !(opened == sample()));
    }
};

CORVALINK_TEST_MAIN(TestStore)
#include "TestStore.moc"
