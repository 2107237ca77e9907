#include "AccountsFile.h"
#include "Store.h"
#include "TestAccounts.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

class TestStore : public QObject {
    Q_OBJECT

private:
    QTemporaryDir* m_dir = nullptr;

    QString base() const { return m_dir->path() + QStringLiteral("/Corvalink"); }
    QString file() const { return base() + QStringLiteral("/accounts.json"); }

    static Account account(const QString& label, std::optional<double> lastOpened = std::nullopt)
    {
        Account a = TestAccounts::make(label);
        a.lastOpened = lastOpened;
        return a;
    }

    void writeAccounts(const QList<Account>& accounts)
    {
        TestEnvironment::writeFile(file(), AccountsFile::encode(accounts));
    }

private Q_SLOTS:
    void init() { m_dir = new QTemporaryDir; }
    void cleanup() { delete m_dir; }

    void firstStartWritesNothingAndMakesAPrivateFolder()
    {
        Store store(base());
        QVERIFY(store.accounts().isEmpty());
        QVERIFY(!QFileInfo::exists(file()));
        QCOMPARE(QFileInfo(base()).permissions() & 0x0077, QFileDevice::Permissions());
    }

    void reloadSignalsExactlyWhenTheContentDiffers()
    {
        Account a = account(QStringLiteral("work"), 100.5);
        writeAccounts({a});
        Store store(base());
        QCOMPARE(store.accounts().size(), 1);
        QSignalSpy changed(&store, &Store::accountsChanged);

        store.reload();
        QCOMPARE(changed.count(), 0);

        a.label = QStringLiteral("private");
        writeAccounts({a});
        store.reload();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(store.accounts().first().label, QStringLiteral("private"));

        // The store's own save is read back without a signal.
        store.save();
        store.reload();
        QCOMPARE(changed.count(), 1);
    }

    void corruptFileKeepsTheListAndIsCopiedAsideBeforeItIsReplaced()
    {
        writeAccounts({account(QStringLiteral("work"))});
        Store store(base());
        QSignalSpy changed(&store, &Store::accountsChanged);
        const QByteArray corrupt("[{\"id\": \"not an id\"}]");
        TestEnvironment::writeFile(file(), corrupt);

        store.reload();
        QCOMPARE(changed.count(), 0);
        QCOMPARE(TestAccounts::labels(store.accounts()), QStringList{QStringLiteral("work")});

        store.append(account(QStringLiteral("new")));
        const QStringList copies = QDir(base()).entryList({QStringLiteral("accounts.json.unreadable-*")}, QDir::Files);
        QCOMPARE(copies.size(), 1);
        QCOMPARE(TestEnvironment::readFile(base() + QLatin1Char('/') + copies.first()), corrupt);
        const auto saved = AccountsFile::decode(TestEnvironment::readFile(file()));
        QVERIFY(saved);
        QCOMPARE(TestAccounts::labels(*saved), (QStringList{QStringLiteral("work"), QStringLiteral("new")}));

        // Once replaced, later saves make no more copies.
        store.save();
        QCOMPARE(QDir(base()).entryList({QStringLiteral("accounts.json.unreadable-*")}, QDir::Files).size(), 1);
    }

    void aFileBrieflyUnreadableAndBackAsItWasIsNotCopied()
    {
        writeAccounts({account(QStringLiteral("work"))});
        const QByteArray original = TestEnvironment::readFile(file());
        Store store(base());
        TestEnvironment::writeFile(file(), original.left(20));
        store.reload();
        TestEnvironment::writeFile(file(), original);
        store.append(account(QStringLiteral("new")));
        QCOMPARE(QDir(base()).entryList({QStringLiteral("accounts.json.unreadable-*")}).size(), 0);
        QCOMPARE(TestAccounts::labels(*AccountsFile::decode(TestEnvironment::readFile(file()))),
                 (QStringList{QStringLiteral("work"), QStringLiteral("new")}));
    }

    // Another Corvalink (a "--open" run) or the user's editor changed the file
    // since this store read it: each change lands on top of that, by id.
    void changesMadeOutsideSinceTheLastReadAreKept()
    {
        const Account a = account(QStringLiteral("a")), b = account(QStringLiteral("b"));
        writeAccounts({a, b});
        Store store(base());
        Store other(base());
        other.markOpened(a);
        const double stamped = *other.accounts().first().lastOpened;
        other.append(account(QStringLiteral("restored")));

        Account renamed = b;
        renamed.label = QStringLiteral("b renamed");
        store.update(renamed);
        const auto saved = AccountsFile::decode(TestEnvironment::readFile(file()));
        QCOMPARE(TestAccounts::labels(*saved), (QStringList{"a", "b renamed", "restored"}));
        QCOMPARE(saved->first().lastOpened, std::optional<double>(stamped));

        other.append(account(QStringLiteral("later")));
        store.remove(a, false);
        QCOMPARE(TestAccounts::labels(*AccountsFile::decode(TestEnvironment::readFile(file()))),
                 (QStringList{"b renamed", "restored", "later"}));
        QCOMPARE(TestAccounts::labels(store.accounts()), (QStringList{"b renamed", "restored", "later"}));
    }

    void updateOfAnUnknownIdWritesNothing()
    {
        writeAccounts({account(QStringLiteral("work"))});
        const QByteArray handEdited = TestEnvironment::readFile(file()).replace("    ", "  ");
        TestEnvironment::writeFile(file(), handEdited);
        Store store(base());
        store.update(account(QStringLiteral("stranger")));
        QCOMPARE(TestEnvironment::readFile(file()), handEdited);

        Account known = store.accounts().first();
        known.label = QStringLiteral("renamed");
        store.update(known);
        QCOMPARE(AccountsFile::decode(TestEnvironment::readFile(file()))->first().label, QStringLiteral("renamed"));
    }

    void removeAlwaysSavesAndDeletesTheProfileOnlyWhenAsked()
    {
        const Account keep = account(QStringLiteral("keep"));
        const Account drop = account(QStringLiteral("drop"));
        writeAccounts({keep, drop});
        TestEnvironment::writeFile(file(), TestEnvironment::readFile(file()).replace("    ", "\t"));
        Store store(base());

        store.remove(account(QStringLiteral("stranger")), true); // no profile folder: no error
        QCOMPARE(TestEnvironment::readFile(file()), AccountsFile::encode({keep, drop}));

        QDir().mkpath(store.profileDir(keep.id) + QStringLiteral("/Default"));
        QDir().mkpath(store.profileDir(drop.id) + QStringLiteral("/Default"));
        store.remove(keep, false);
        QVERIFY(QFileInfo::exists(store.profileDir(keep.id)));
        store.remove(drop, true);
        QVERIFY(!QFileInfo::exists(store.profileDir(drop.id)));
        QVERIFY(store.accounts().isEmpty());
        QCOMPARE(AccountsFile::decode(TestEnvironment::readFile(file()))->size(), 0);
        QVERIFY(store.profileDir(drop.id).endsWith(QStringLiteral("/profiles/") + drop.idText()));
    }

    void markOpenedStampsTheStoredRecord()
    {
        Account stored = account(QStringLiteral("stored"));
        writeAccounts({stored});
        Store store(base());
        Account stale = stored;
        stale.label = QStringLiteral("stale");
        const double before = Account::nowReferenceSeconds();
        store.markOpened(stale);
        const Account after = AccountsFile::decode(TestEnvironment::readFile(file()))->first();
        QCOMPARE(after.label, QStringLiteral("stored"));
        QVERIFY(after.lastOpened);
        QVERIFY(*after.lastOpened >= before - 0.001 && *after.lastOpened <= Account::nowReferenceSeconds() + 0.001);

        store.markOpened(account(QStringLiteral("stranger")));
        QCOMPARE(store.accounts().size(), 1);
    }

    void appendGoesLastInListAndFile()
    {
        writeAccounts({account(QStringLiteral("a")), account(QStringLiteral("b"))});
        Store store(base());
        store.append(account(QStringLiteral("c")));
        QCOMPARE(TestAccounts::labels(store.accounts()).last(), QStringLiteral("c"));
        QCOMPARE(TestAccounts::labels(*AccountsFile::decode(TestEnvironment::readFile(file()))),
                 (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    }

    void accountOrder()
    {
        const double now = Account::nowReferenceSeconds();
        const QList<Account> input{account(QStringLiteral("b")),  account(QStringLiteral("lastWeek"), now - 7 * 86400),
                                   account(QStringLiteral("A")),  account(QStringLiteral("yesterday"), now - 86400),
                                   account(QStringLiteral("a")),  account(QStringLiteral("\u00E9t\u00E9")),
                                   account(QStringLiteral("ete"))};
        const QList<Account> sorted = Store::sorted(input);
        // Accents count, case does not; A and a keep their file order.
        QCOMPARE(TestAccounts::labels(sorted),
                 (QStringList{QStringLiteral("yesterday"), QStringLiteral("lastWeek"), QStringLiteral("A"),
                              QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("ete"),
                              QStringLiteral("\u00E9t\u00E9")}));
        QCOMPARE(TestAccounts::labels(input).first(), QStringLiteral("b")); // the input is left alone

        // The same instant falls back to the label.
        const QList<Account> tie =
            Store::sorted({account(QStringLiteral("z"), now), account(QStringLiteral("m"), now)});
        QCOMPARE(TestAccounts::labels(tie), (QStringList{QStringLiteral("m"), QStringLiteral("z")}));
    }
};

CORVALINK_TEST_MAIN(TestStore)
#include "TestStore.moc"
