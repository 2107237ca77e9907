#include "AccountsFile.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <csignal>

// Nothing is lost: saves survive being killed at any moment, and the store
// survives its file being changed underneath it.
class TestStoreDurability : public QObject {
    Q_OBJECT

private:
    static constexpr int accountCount = 200;

    static QList<Account> accounts(const QString& label)
    {
        QList<Account> list;
        for (int i = 0; i < accountCount; ++i) {
            Account account;
            account.siteName = QStringLiteral("Site");
            account.url = QStringLiteral("https://example.org/login");
            account.label = label;
            list.append(account);
        }
        return list;
    }

    // A complete file from save number M holds labels M-count+1 … M (or "init"
    // where no save has reached yet), each on the account it belongs to.
    static QString checkComplete(const QList<Account>& initial, const QByteArray& bytes)
    {
        const auto list = AccountsFile::decode(bytes);
        if (!list)
            return QStringLiteral("the file does not parse (%1 bytes)").arg(bytes.size());
        if (list->size() != initial.size())
            return QStringLiteral("%1 accounts instead of %2").arg(list->size()).arg(initial.size());
        qint64 last = -1; // "init" everywhere: no save has completed
        for (const Account& account : *list) {
            bool number = false;
            const qint64 save = account.label.toLongLong(&number);
            if (number)
                last = std::max(last, save);
        }
        for (int i = 0; i < initial.size(); ++i) {
            const Account& account = list->at(i);
            if (account.id != initial.at(i).id)
                return QStringLiteral("account %1 has another id").arg(i);
            // The newest save that touched account i.
            qint64 expected = last - ((last - i) % accountCount + accountCount) % accountCount;
            const QString label = expected < 0 ? QStringLiteral("init") : QString::number(expected);
            if (account.label != label)
                return QStringLiteral("account %1 is labelled %2, not %3 (last save %4)")
                    .arg(i)
                    .arg(account.label, label)
                    .arg(last);
        }
        return {};
    }

private Q_SLOTS:
    void killedWhileSavingTheFileIsAlwaysWhole()
    {
        QTemporaryDir dir;
        const QString base = dir.path() + QStringLiteral("/Corvalink");
        const QString file = base + QStringLiteral("/accounts.json");
        const QList<Account> initial = accounts(QStringLiteral("init"));
        TestEnvironment::writeFile(file, AccountsFile::encode(initial));
        const QString saver = QCoreApplication::applicationDirPath() + QStringLiteral("/store_saver");

        int kills = 0;
        QSet<qint64> lastSaves;
        for (; kills < 200; ++kills) {
            QProcess child;
            child.start(saver, {base});
            // Every other kill waits for a finished save, so that on a slow machine
            // too the kills land both before and after the first save.
            const QByteArray awaited = kills % 2 ? "saved" : "ready";
            while (!child.peek(64).contains(awaited) && child.waitForReadyRead(30000)) {
            }
            QVERIFY(child.peek(64).contains(awaited));
            QTest::qSleep(int(QRandomGenerator::global()->bounded(25)));
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished(10000));

            const QByteArray bytes = TestEnvironment::readFile(file);
            const QString problem = checkComplete(initial, bytes);
            QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("after kill %1: %2").arg(kills).arg(problem)));
            lastSaves.insert(bytes.size());
        }
        QVERIFY(lastSaves.size() > 1); // the kills did land in different saves

        // Interrupted saves may leave their temporary files; the next start removes
        // those that have not changed for a minute, and nothing the user made.
        const QStringList leftovers = QDir(base).entryList(QDir::Files | QDir::Hidden).filter("corvalink-save-");
        const QString fresh = base + QStringLiteral("/.accounts.json.corvalink-save-Fresh1");
        TestEnvironment::writeFile(fresh, "{");
        const QString backup = base + QStringLiteral("/accounts.json.backup");
        TestEnvironment::writeFile(backup, "the user's copy");
        for (const QString& name : leftovers + QStringList{QStringLiteral("accounts.json.backup")}) {
            QFile old(base + '/' + name);
            QVERIFY(old.open(QIODevice::ReadWrite));
            QVERIFY(old.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-120), QFileDevice::FileModificationTime));
        }
        Store restarted(base);
        QCOMPARE(QDir(base).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{QStringLiteral(".accounts.json.corvalink-save-Fresh1"), QStringLiteral("accounts.json"),
                              QStringLiteral("accounts.json.backup")}));
        QCOMPARE(TestEnvironment::readFile(backup), QByteArray("the user's copy"));
    }

    void theFileChangedUnderneathTheStore()
    {
        QTemporaryDir dir;
        const QString base = dir.path() + QStringLiteral("/Corvalink");
        const QString file = base + QStringLiteral("/accounts.json");
        const QList<Account> original = accounts(QStringLiteral("mine")).mid(0, 3);
        TestEnvironment::writeFile(file, AccountsFile::encode(original));
        Store store(base);
        QSignalSpy changed(&store, &Store::accountsChanged);

        // Replaced by someone else: taken over.
        const QList<Account> replaced = accounts(QStringLiteral("theirs")).mid(0, 2);
        TestEnvironment::writeFile(file + ".new", AccountsFile::encode(replaced));
        QVERIFY(QFile::remove(file) && QFile::rename(file + ".new", file));
        store.reload();
        QCOMPARE(store.accounts(), replaced);

        // Deleted: the list stays; the next save writes it back.
        QFile::remove(file);
        store.reload();
        QCOMPARE(store.accounts(), replaced);
        store.save();
        QCOMPARE(*AccountsFile::decode(TestEnvironment::readFile(file)), replaced);

        // Unreadable: the list stays.
        QFile::setPermissions(file, QFileDevice::Permissions());
        store.reload();
        QCOMPARE(store.accounts(), replaced);
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

        // A folder where the file was: nothing crashes, the folder stays as it was.
        QFile::remove(file);
        QVERIFY(QDir().mkpath(file + QStringLiteral("/inside")));
        store.reload();
        QCOMPARE(store.accounts(), replaced);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot be copied aside")));
        store.save();
        QVERIFY(QFileInfo(file).isDir());
        QVERIFY(QFileInfo::exists(file + QStringLiteral("/inside")));
        QCOMPARE(store.accounts(), replaced);
        QCOMPARE(changed.count(), 1);

        // Gone again: saving works once more.
        QDir(file).removeRecursively();
        store.save();
        QCOMPARE(*AccountsFile::decode(TestEnvironment::readFile(file)), replaced);
    }
};

CORVALINK_TEST_MAIN(TestStoreDurability)
#include "TestStoreDurability.moc"
