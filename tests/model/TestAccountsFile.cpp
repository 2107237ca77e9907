#include "AccountsFile.h"
#include "TestEnvironment.h"

// The reading rules are files of the fuzz corpus: "accepted-…" must read,
// "refused-…" must not, anything else may go either way; every one that reads
// survives a round trip.
class TestAccountsFile : public QObject {
    Q_OBJECT

private:
    const QDir m_corpus{QStringLiteral(CORVALINK_TEST_COMMON_DIR "/../fuzz/corpus")};

    static Account account(const QUuid& id = QUuid::createUuid())
    {
        return {id, "GitHub", "https://github.com/login", "work", {}, {}, {}};
    }
    static Account sample() { return account(QUuid::fromString(u"6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8"_s)); }
    static QByteArray element(const QByteArray& fields)
    {
        return R"([{"id":"6f1c2a3b-4d5e-4f60-8172-93a4b5c6d7e8","siteName":"S","url":"u")" + fields + "}]";
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
    // Optional keys only when present, every key in code-point order.
    void writtenByteForByte()
    {
        QCOMPARE(AccountsFile::encode({}), "[\n]\n");
        QCOMPARE(AccountsFile::encode({sample()}), TestEnvironment::readFile(m_corpus.filePath("accepted-minimal")));
        Account full = sample();
        full.browser = "Brave Browser";
        full.color = "Blue";
        full.lastOpened = 786543210.25;
        full.label = u"a\"\\\t\u0001\u00E9\U0001F600"_s;
        QCOMPARE(AccountsFile::encode({full}), TestEnvironment::readFile(m_corpus.filePath("accepted-written-full")));
    }

    void everyValueSurvivesARoundTrip()
    {
        for (const double seconds : {786543210.123456789, 0.1 + 0.2, 700000000.0, -12345.678901234567, 5e-324, -0.0}) {
            Account dated = account();
            dated.lastOpened = seconds;
            dated.browser = "Chromium";
            verifyRoundTrip({dated, sample()});
            QCOMPARE(*AccountsFile::decode(AccountsFile::encode({dated}))->first().lastOpened, seconds);
        }
        Account awkward = account();
        awkward.label = u"quote \" backslash \\ slash / tab \t newline \n bell \a \u001F \u2028"_s;
        awkward.siteName = u"Caf\u00E9 \u4E2D\u6587 \U0001F600"_s;
        verifyRoundTrip({awkward});
        // A lone surrogate, as a file may hold it ("\ud800"), reads back unchanged.
        const auto lone = AccountsFile::decode(element(R"(,"label":"a\ud800b")"));
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
        for (const Account& account : list.value_or(QList<Account>{}))
            QVERIFY(!account.lastOpened || Account::dateFromReferenceSeconds(*account.lastOpened).isValid());
    }

    void lenientReadsAreWrittenCanonically()
    {
        const auto list = AccountsFile::decode(element(R"(,"label":"a\/b","browser":null,"pinned":1)"));
        QCOMPARE(list.value().first().label, "a/b");
        const QByteArray written = AccountsFile::encode(*list);
        QVERIFY(written.contains("6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8"));
        QVERIFY(!written.contains("pinned") && !written.contains("browser"));
    }

    void equalityComparesCanonicalText()
    {
        Account composed = sample(), other = sample();
        composed.label = u"caf\u00E9"_s;
        other.label = u"cafe\u0301"_s;
        QVERIFY(composed == other);
        other = composed;
        other.browser = QString();
        QVERIFY(!(other == composed)); // present-but-empty differs from absent
        other = composed;
        other.lastOpened = 1.0;
        QVERIFY(!(other == composed));
    }
};

CORVALINK_TEST_MAIN(TestAccountsFile)
#include "TestAccountsFile.moc"
