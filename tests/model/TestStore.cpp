#include "AccountsFile.h"
#include "Store.h"
#include "TestAccounts.h"
#include "TestEnvironment.h"

#include <QRandomGenerator>

#include <csignal>

using TestAccounts::labels;
using List = QStringList;

// The accounts list and its file. Nothing is lost: saves survive being killed at
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
    void write(const QList<Account>& accounts) const
    {
        TestEnvironment::writeFile(file(), AccountsFile::encode(accounts));
    }
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

    // store_saver's save n labels account n % count with n: a whole file from
    // save M holds M-count+1 … M, each on its own account, and "init" where no
    // save has reached yet.
    static bool isWhole(const QList<Account>& initial, const QByteArray& bytes)
    {
        const auto list = AccountsFile::decode(bytes);
        const qsizetype count = initial.size();
        if (!list || list->size() != count)
            return false;
        qint64 last = -1;
        for (const Account& account : *list)
            last = std::max(last, account.label == "init" ? -1 : account.label.toLongLong());
        for (qsizetype i = 0; i < count; ++i) {
            const qint64 expected = last - ((last - i) % count + count) % count;
            if (list->at(i).id != initial.at(i).id ||
                list->at(i).label != (expected < 0 ? u"init"_s : QString::number(expected)))
                return false;
        }
        return true;
    }

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void firstStartWritesNothingAndMakesThePrivateFolder()
    {
        QDir().mkpath(base());
        QFile::setPermissions(base(), QFileDevice::Permissions(0x7755)); // left open by an earlier version
        Store store(base());
        QVERIFY(store.accounts().isEmpty() && !QFileInfo::exists(file()) && TestEnvironment::isPrivate(base()));
    }

    // A file that does not read keeps the list, and is copied aside before it is
    // replaced, once; one back byte for byte is not copied; the store's own save
    // and an unchanged file are no change.
    void anUnreadableFileKeepsTheListAndIsCopiedAsideOnce()
    {
        Account work = account("work", 100.5);
        write({work});
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
        QCOMPARE(labels(accountsOnDisk()), (List{"work", "new"}));

        work.label = "private";
        write({work});
        store.reload();
        QVERIFY(changed.count() == 1 && labels(store.accounts()) == List{"private"});
    }

    // Another Corvalink (a "--open" run) or the user's editor changed the file
    // since this store read it: each change lands on top of that, by id.
    void changesMadeOutsideSinceTheLastReadAreKept()
    {
        const Account a = account("a"), b = account("b");
        write({a, b});
        Store store(base()), other(base());
        other.markOpened(a);
        other.append(account("restored"));
        Account renamed = b;
        renamed.label = "b renamed";
        store.update(renamed);
        QCOMPARE(labels(accountsOnDisk()), (List{"a", "b renamed", "restored"}));
        QCOMPARE(accountsOnDisk().first().lastOpened, other.accounts().first().lastOpened);
        other.append(account("later"));
        store.remove(a, false);
        QCOMPARE(labels(accountsOnDisk()), (List{"b renamed", "restored", "later"}));
        QCOMPARE(labels(store.accounts()), labels(accountsOnDisk()));
    }

    // Changes to records that are not there write nothing, not even a reformatted
    // file; removal always saves, and deletes the profile only when asked.
    void changesByIdAndRemoval()
    {
        const Account keep = account("keep"), drop = account("drop");
        write({keep, drop});
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
        for (const Account& a : {keep, drop})
            QDir().mkpath(store.profileDir(a.id) + u"/Default"_s);
        store.remove(keep, false);
        store.remove(drop, true);
        QVERIFY(QFileInfo::exists(store.profileDir(keep.id)) && !QFileInfo::exists(store.profileDir(drop.id)));
        QVERIFY(store.accounts().isEmpty() && accountsOnDisk().isEmpty());
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
    }

    void killedWhileSavingTheFileIsAlwaysWhole()
    {
        const QList<Account> initial = accounts(200);
        write(initial);
        QSet<qint64> sizes;
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
        QVERIFY(sizes.size() > 1); // the kills did land in different saves

        // Interrupted saves may leave their temporary files; the next start removes
        // those that have not changed for a minute, and nothing the user made.
        const QStringList leftovers = QDir(base()).entryList(QDir::Files | QDir::Hidden).filter("corvalink-save-");
        TestEnvironment::writeFile(base() + u"/.accounts.json.corvalink-save-Fresh1"_s, "{");
        TestEnvironment::writeFile(base() + u"/accounts.json.backup"_s, "the user's copy");
        for (const QString& name : leftovers + List{u"accounts.json.backup"_s}) {
            QFile old(base() + u'/' + name);
            QVERIFY(old.open(QIODevice::ReadWrite) &&
                    old.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-120), QFileDevice::FileModificationTime));
        }
        Store restarted(base());
        QCOMPARE(QDir(base()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (List{".accounts.json.corvalink-save-Fresh1", "accounts.json", "accounts.json.backup"}));
        QCOMPARE(TestEnvironment::readFile(base() + u"/accounts.json.backup"_s), "the user's copy");
    }

    void theFileChangedUnderneathTheStore()
    {
        write(accounts(3));
        Store store(base());
        QSignalSpy changed(&store, &Store::accountsChanged);
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

        // A folder where the file was: nothing crashes, the folder stays as it was.
        QFile::remove(file());
        QVERIFY(QDir().mkpath(file() + u"/inside"_s));
        store.reload();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"cannot be copied aside"_s));
        store.save();
        QVERIFY(QFileInfo::exists(file() + u"/inside"_s) && store.accounts() == replaced && changed.count() == 1);
        QDir(file()).removeRecursively();
        store.save(); // gone again: saving works once more
        QCOMPARE(accountsOnDisk(), replaced);
    }
};

CORVALINK_TEST_MAIN(TestStore)
#include "TestStore.moc"
