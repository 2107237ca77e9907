#include "AccountColor.h"
#include "AccountsFile.h"
#include "TestEnvironment.h"

#include <QImage>
#include <QJsonDocument>
#include <QPainter>

class TestAccountsFile : public QObject {
    Q_OBJECT

private:
    static Account sample()
    {
        return Account{QUuid::fromString(QStringLiteral("6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8")),
                       QStringLiteral("GitHub"),
                       QStringLiteral("https://github.com/login"),
                       QStringLiteral("work"),
                       std::nullopt,
                       std::nullopt,
                       std::nullopt};
    }

    static QByteArray element(const QByteArray& fields)
    {
        return "[{\"id\":\"6f1c2a3b-4d5e-4f60-8172-93a4b5c6d7e8\",\"siteName\":\"S\",\"url\":\"u\"" + fields + "}]";
    }

private Q_SLOTS:
    void minimalRecordHasFourKeysInOrder()
    {
        const QByteArray text = AccountsFile::encode({sample()});
        QCOMPARE(text, QByteArray("[\n"
                                  "    {\n"
                                  "        \"id\": \"6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8\",\n"
                                  "        \"label\": \"work\",\n"
                                  "        \"siteName\": \"GitHub\",\n"
                                  "        \"url\": \"https://github.com/login\"\n"
                                  "    }\n"
                                  "]\n"));
        QCOMPARE(AccountsFile::encode({}).trimmed(), QByteArray("[\n]"));
    }

    void fullRecordKeysInCodePointOrder()
    {
        Account account = sample();
        account.browser = QStringLiteral("Brave Browser");
        account.color = QStringLiteral("Blue");
        account.lastOpened = 786543210.25;
        const QByteArray text = AccountsFile::encode({account});
        QStringList keys;
        for (const QByteArray& line : text.split('\n')) {
            const qsizetype quote = line.indexOf('"');
            if (quote >= 0)
                keys << QString::fromUtf8(line.mid(quote + 1, line.indexOf('"', quote + 1) - quote - 1));
        }
        QCOMPARE(keys, (QStringList{"browser", "color", "id", "label", "lastOpened", "siteName", "url"}));
        QVERIFY(!text.contains("null"));
    }

    void roundTripKeepsEveryDouble_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::newRow("fraction") << 786543210.123456789;
        QTest::newRow("sum") << 0.1 + 0.2;
        QTest::newRow("whole") << 700000000.0;
        QTest::newRow("negative") << -12345.678901234567;
        QTest::newRow("tiny") << 5e-324;
    }

    void roundTripKeepsEveryDouble()
    {
        QFETCH(double, seconds);
        Account account = sample();
        account.lastOpened = seconds;
        account.browser = QStringLiteral("Chromium");
        const auto back = AccountsFile::decode(AccountsFile::encode({account, sample()}));
        QVERIFY(back);
        QCOMPARE(back->size(), 2);
        QVERIFY(back->at(0) == account);
        QCOMPARE(*back->at(0).lastOpened, seconds);
    }

    void awkwardTextRoundTrips()
    {
        Account account = sample();
        account.label = QStringLiteral("quote \" backslash \\ slash / tab \t newline \n bell \a nul-free \u001F");
        account.siteName = QStringLiteral("Caf\u00E9 \u4E2D\u6587 \U0001F600");
        account.url = QStringLiteral("https://example.org/?q=a&b=\"c\"");
        account.lastOpened = -0.0;
        const QByteArray text = AccountsFile::encode({account});
        QJsonParseError error;
        QVERIFY(QJsonDocument::fromJson(text, &error).isArray());
        QCOMPARE(error.error, QJsonParseError::NoError);
        const auto back = AccountsFile::decode(text);
        QVERIFY(back);
        QCOMPARE(back->first().label, account.label);
        QCOMPARE(back->first().siteName, account.siteName);
        QVERIFY(back->first() == account);
        QVERIFY(text.contains("\"lastOpened\": 0,"));

        // A lone surrogate, as a file may hold it ("\ud800"), reads back unchanged.
        const auto lone = AccountsFile::decode(R"([{"id":"6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8",)"
                                               R"("label":"a\ud800b","siteName":"S","url":"u"}])");
        QVERIFY(lone);
        QCOMPARE(lone->first().label.size(), 3);
        QVERIFY(*AccountsFile::decode(AccountsFile::encode(*lone)) == *lone);
    }

    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("empty array") << QByteArray("[]") << true;
        QTest::newRow("object at top") << QByteArray("{}") << false;
        QTest::newRow("not json") << QByteArray("[{") << false;
        QTest::newRow("element not object") << QByteArray("[1]") << false;
        QTest::newRow("label missing") << element("") << false;
        QTest::newRow("label null") << element(",\"label\":null") << false;
        QTest::newRow("label number") << element(",\"label\":3") << false;
        QTest::newRow("browser null") << element(",\"label\":\"l\",\"browser\":null") << true;
        QTest::newRow("browser number") << element(",\"label\":\"l\",\"browser\":1") << false;
        QTest::newRow("color bool") << element(",\"label\":\"l\",\"color\":true") << false;
        QTest::newRow("lastOpened integer") << element(",\"label\":\"l\",\"lastOpened\":7") << true;
        QTest::newRow("lastOpened text") << element(",\"label\":\"l\",\"lastOpened\":\"7\"") << false;
        QTest::newRow("lastOpened too large") << element(",\"label\":\"l\",\"lastOpened\":1e400") << false;
        QTest::newRow("lastOpened beyond any date") << element(",\"label\":\"l\",\"lastOpened\":1e300") << false;
        QTest::newRow("lastOpened far in the past") << element(",\"label\":\"l\",\"lastOpened\":-9e15") << true;
        QTest::newRow("unknown key") << element(",\"label\":\"l\",\"pinned\":true") << true;
        QTest::newRow("Label in other case") << element(",\"Label\":\"l\"") << false;
        QTest::newRow("escaped solidus") << element(",\"label\":\"a\\/b\"") << true;
        QTest::newRow("id with braces")
            << QByteArray("[{\"id\":\"{6f1c2a3b-4d5e-4f60-8172-93a4b5c6d7e8}\",\"siteName\":\"S\",\"url\":\"u\","
                          "\"label\":\"l\"}]")
            << false;
        QTest::newRow("id too short")
            << QByteArray("[{\"id\":\"6f1c2a3b-4d5e-4f60-8172\",\"siteName\":\"S\",\"url\":\"u\",\"label\":\"l\"}]")
            << false;
        QTest::newRow("one bad element among good")
            << QByteArray("[" + AccountsFile::encode({sample()}).mid(1).chopped(2) + ",{\"id\":\"x\"}]") << false;
    }

    void readingRules()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, accepted);
        QString why;
        const auto list = AccountsFile::decode(json, &why);
        QCOMPARE(list.has_value(), accepted);
        QCOMPARE(why.isEmpty(), accepted);
        if (list && !list->isEmpty() && list->first().lastOpened)
            QVERIFY(Account::dateFromReferenceSeconds(*list->first().lastOpened).isValid());
    }

    void lenientReadsAreWrittenCanonically()
    {
        const auto list = AccountsFile::decode(element(",\"label\":\"a\\/b\",\"browser\":null,\"pinned\":1"));
        QVERIFY(list);
        QCOMPARE(list->first().label, QStringLiteral("a/b"));
        QVERIFY(!list->first().browser);
        const QByteArray written = AccountsFile::encode(*list);
        QVERIFY(written.contains("6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8"));
        QVERIFY(!written.contains("pinned"));
        QVERIFY(!written.contains("browser"));
    }

    void equalityComparesCanonicalText()
    {
        Account composed = sample();
        composed.label = QStringLiteral("caf\u00E9");
        Account decomposed = composed;
        decomposed.label = QStringLiteral("cafe\u0301");
        QVERIFY(composed == decomposed);

        Account other = composed;
        other.browser = QString();
        QVERIFY(!(other == composed)); // present-but-empty differs from absent
        other = composed;
        other.lastOpened = 1.0;
        QVERIFY(!(other == composed));
        QVERIFY(!(Account() == Account())); // fresh records get fresh ids
    }

    void dotIsACircleOfThePaletteColour()
    {
        QCOMPARE(AccountColor::names().size(), 9);
        QCOMPARE(AccountColor::names().first(), QStringLiteral("None"));
        QVERIFY(AccountColor::dot(std::nullopt, 9).isNull());
        QVERIFY(AccountColor::dot(QStringLiteral("None"), 9).isNull());
        QVERIFY(AccountColor::dot(QStringLiteral("red"), 9).isNull());

        // Drawn at paint time: sharp at twice the size as well.
        for (int side : {12, 48}) {
            const QIcon dot = AccountColor::dot(QStringLiteral("Gray"), side);
            QVERIFY(!dot.isNull());
            QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            dot.paint(&painter, image.rect());
            painter.end();
            QCOMPARE(image.pixelColor(side / 2, side / 2).rgb(), AccountColor::all().last().color.rgb());
            QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        }
    }
};

CORVALINK_TEST_MAIN(TestAccountsFile)
#include "TestAccountsFile.moc"
