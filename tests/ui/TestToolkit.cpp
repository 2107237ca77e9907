#include "CardView.h"
#include "ElidedLabel.h"
#include "RelativeDate.h"
#include "RoundBadge.h"
#include "SelectView.h"
#include "SwitchButton.h"
#include "TestEnvironment.h"
#include "UI.h"

class TestToolkit : public QObject {
    Q_OBJECT

private:
    // Pixels further than the tolerance from the colour.
    static int pixelsAwayFrom(const QImage& image, const QColor& from, int tolerance)
    {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                count += std::abs(c.red() - from.red()) + std::abs(c.green() - from.green()) +
                             std::abs(c.blue() - from.blue()) >
                         tolerance;
            }
        }
        return count;
    }

private Q_SLOTS:
    // Long texts are shortened where they would be cut, user text is never
    // markup, and the accessory keeps its room.
    void rowsShortenTheirTexts()
    {
        const QString subtitle = "BEGIN" + QString(300, u'x') + "END";
        const QString title = "R&D <b>team</b> " + QString(200, u'y');
        auto* field = new QLineEdit;
        std::unique_ptr<QWidget> row(UI::row(title, subtitle, {}, {field}));
        row->setFixedWidth(492);
        row->show();
        QVERIFY(QTest::qWaitForWindowExposed(row.get()));
        const QList<ElidedLabel*> labels = row->findChildren<ElidedLabel*>();
        const QString shown = labels.last()->shownText();
        QVERIFY(shown.size() < subtitle.size() && shown.startsWith("BEGIN") && shown.endsWith("END"));
        QVERIFY(labels.first()->shownText().startsWith("R&D <b>team</b> ") &&
                labels.first()->shownText().endsWith(QChar(0x2026)));
        QCOMPARE(labels.first()->textFormat(), Qt::PlainText);
        QVERIFY(field->width() > 0);
    }

    void selectViewOpensFromAnyClickAndReportsEveryPick()
    {
        QStringList picks;
        SelectView select({"Automatic", "Chromium", "Chromium", "Vivaldi"}, "Chromium",
                          [&](const QString& pick) { picks << pick; });
        select.show();
        QVERIFY(QTest::qWaitForWindowExposed(&select));
        for (QWidget* target : QList<QWidget*>{select.findChild<QLabel*>(), select.findChild<RoundBadge*>(), &select}) {
            QTest::mouseClick(&select, Qt::LeftButton, {}, target->mapTo(&select, target->rect().center()));
            QTRY_VERIFY(select.menu() && select.menu()->isVisible());
            select.menu()->close();
        }
        select.popUp();
        const QList<QAction*> actions = select.menu()->actions();
        QVERIFY(!actions.at(0)->isChecked() && actions.at(1)->isChecked() && actions.at(2)->isChecked());
        QVERIFY(!actions.at(0)->isCheckable() && !actions.at(3)->isCheckable()); // no empty boxes
        actions.at(2)->trigger();                                                // the entry already chosen
        select.popUp();
        select.menu()->actions().at(3)->trigger();
        QCOMPARE(picks, (QStringList{"Chromium", "Vivaldi"}));
        QCOMPARE(select.title(), "Vivaldi");

        SelectView stale({"a", "b"}, "gone", {});
        QCOMPARE(stale.title(), "gone");
        stale.popUp();
        for (QAction* action : stale.menu()->actions())
            QVERIFY(!action->isChecked());
    }

    // A disabled switch shows its track, the keyboard's focus shows as a ring,
    // every control carries its row's name, and fills follow the palette.
    void switchesShowTheirStateAndAreNamed()
    {
        auto* off = new SwitchButton(false);
        auto* focused = new SwitchButton(false);
        off->setEnabled(false);
        std::unique_ptr<QWidget> card(UI::card(
            {UI::row(u"Disabled"_s, std::nullopt, {}, {off}), UI::row(u"Focused"_s, std::nullopt, {}, {focused})}));
        card->show();
        QVERIFY(QTest::qWaitForWindowActive(card.get()));
        QCOMPARE(off->accessibleName(), "Disabled");
        QCOMPARE(focused->accessibleName(), "Focused");

        const QImage disabled = off->grab().toImage();
        const QColor background = disabled.pixelColor(0, 0);
        // More than the knob (about 18 x 18 inside the track) stands out from the card.
        QVERIFY(pixelsAwayFrom(disabled, background, 120) >
                pixelsAwayFrom(disabled.copy(2, 2, 18, 18), background, 120) + 20);

        const QImage before = focused->grab().toImage();
        QTest::keyClick(card.get(), Qt::Key_Tab);
        QTRY_VERIFY(focused->hasFocus());
        const QColor highlight = focused->palette().color(QPalette::Highlight);
        QVERIFY(pixelsAwayFrom(focused->grab().toImage(), highlight, 60) < pixelsAwayFrom(before, highlight, 60) - 20);

        const QColor lightCard = card->grab().toImage().pixelColor(card->width() / 2, 2);
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(30, 30, 30));
        dark.setColor(QPalette::WindowText, QColor(240, 240, 240));
        card->setPalette(dark);
        QVERIFY(card->grab().toImage().pixelColor(card->width() / 2, 2) != lightCard);
    }

    void relativeDates()
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (const auto& [seconds, text] : {std::pair{-86400, "1 day ago"},
                                            {-3 * 86400 - 5, "3 days ago"},
                                            {-300, "5 min. ago"},
                                            {0, "now"},
                                            {2 * 3600, "in 2 hr."}})
            QCOMPARE(RelativeDate::shortText(now.addSecs(seconds), now), QString::fromLatin1(text));
    }

    // At the default size the measures hold; a larger desktop font enlarges every
    // text in proportion, and fields are as large as the row text beside them.
    void fontsFollowTheDesktopSize()
    {
        const QFont original = QApplication::font();
        QCOMPARE(UI::font(13).pixelSize(), 13);
        auto* field = UI::field(QString(), QString(), 120);
        std::unique_ptr<QWidget> row(UI::row(u"Title"_s, std::nullopt, {}, {field}));
        row->setFont(UI::font(13)); // as the settings window sets it
        QCOMPARE(field->font().pixelSize(), row->findChild<ElidedLabel*>()->font().pixelSize());
        QFont large = original;
        large.setPointSizeF(original.pointSizeF() * 2);
        QApplication::setFont(large);
        QCOMPARE(UI::font(13).pixelSize(), 26);
        QApplication::setFont(original);
    }
};

CORVALINK_TEST_MAIN(TestToolkit)
#include "TestToolkit.moc"
