#include "CardView.h"
#include "ElidedLabel.h"
#include "PageViewController.h"
#include "RoundBadge.h"
#include "SelectView.h"
#include "SwitchButton.h"
#include "TestEnvironment.h"
#include "UI.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>

#include <type_traits>

// Only the listed constructors exist.
static_assert(!std::is_default_constructible_v<RoundBadge>);
static_assert(!std::is_default_constructible_v<SelectView>);
static_assert(!std::is_default_constructible_v<PageViewController>);
static_assert(!std::is_copy_constructible_v<CardView>);
static_assert(!std::is_constructible_v<PageViewController, QWidget*>);

class TestToolkit : public QObject {
    Q_OBJECT

private:
    static QList<QWidget*> rows(int count)
    {
        QList<QWidget*> list;
        for (int i = 0; i < count; ++i)
            list << UI::row(QStringLiteral("Row %1").arg(i));
        return list;
    }

    static bool isHairline(QLayoutItem* item)
    {
        auto* frame = qobject_cast<QFrame*>(item->widget());
        return frame && frame->frameShape() == QFrame::HLine;
    }

private Q_SLOTS:
    void cardsAndSections()
    {
        std::unique_ptr<QWidget> one(UI::card(rows(1)));
        QCOMPARE(one->layout()->count(), 1);
        QVERIFY(!isHairline(one->layout()->itemAt(0)));

        std::unique_ptr<QWidget> three(UI::card(rows(3)));
        QCOMPARE(three->layout()->count(), 5);
        QVERIFY(isHairline(three->layout()->itemAt(1)) && isHairline(three->layout()->itemAt(3)));
        QVERIFY(!isHairline(three->layout()->itemAt(2)));

        std::unique_ptr<QWidget> empty(UI::card({}));
        QCOMPARE(empty->layout()->count(), 0);

        std::unique_ptr<QWidget> bare(UI::section(std::nullopt, rows(1)));
        QCOMPARE(bare->layout()->count(), 1);
        QVERIFY(qobject_cast<CardView*>(bare->layout()->itemAt(0)->widget()));

        std::unique_ptr<QWidget> emptyTitle(UI::section(QString(), rows(1), QStringLiteral("note")));
        QCOMPARE(emptyTitle->layout()->count(), 3);
        QCOMPARE(qobject_cast<QLabel*>(emptyTitle->layout()->itemAt(0)->widget())->text(), QString());
        QVERIFY(qobject_cast<QLabel*>(emptyTitle->layout()->itemAt(2)->widget())->wordWrap());
    }

    void rowsAreTextSpacerAccessoriesAndShortenTheirSubtitle()
    {
        std::unique_ptr<QWidget> plain(UI::row(QStringLiteral("Title")));
        QCOMPARE(plain->layout()->count(), 3);
        QCOMPARE(plain->layout()->itemAt(2)->widget()->layout()->count(), 0); // no accessories, still the stack
        plain->show();
        QVERIFY(plain->height() >= 44);

        const QString subtitle = QStringLiteral("BEGIN") + QString(300, QLatin1Char('x')) + QStringLiteral("END");
        const QString title = QStringLiteral("R&D <b>team</b> ") + QString(200, QLatin1Char('y'));
        auto* field = new QLineEdit;
        std::unique_ptr<QWidget> row(UI::row(title, subtitle, {}, {field}));
        row->setFixedWidth(492);
        row->show();
        QVERIFY(QTest::qWaitForWindowExposed(row.get()));
        const QList<ElidedLabel*> labels = row->findChildren<ElidedLabel*>();
        QCOMPARE(labels.size(), 2);
        const QString shown = labels.last()->shownText();
        QVERIFY(shown.size() < subtitle.size());
        QVERIFY(shown.startsWith(QStringLiteral("BEGIN")) && shown.endsWith(QStringLiteral("END")));
        // A long title ends in an ellipsis, and user text is never markup.
        const QString shownTitle = labels.first()->shownText();
        QVERIFY(shownTitle.startsWith(QStringLiteral("R&D <b>team</b> ")) && shownTitle.endsWith(QChar(0x2026)));
        QCOMPARE(labels.first()->textFormat(), Qt::PlainText);
        QVERIFY(field->width() > 0); // the accessory keeps its room
    }

    void selectViewOpensFromAnyClickAndReportsEveryPick()
    {
        QStringList picks;
        SelectView select({"Automatic", "Chromium", "Chromium", "Vivaldi"}, "Chromium",
                          [&](const QString& pick) { picks << pick; });
        select.show();
        QVERIFY(QTest::qWaitForWindowExposed(&select));
        QCOMPARE(select.focusPolicy(), Qt::StrongFocus); // reached with Tab as well

        // On the label, on the badge, and on the control itself.
        for (QWidget* target : QList<QWidget*>{select.findChild<QLabel*>(), select.findChild<RoundBadge*>(), &select}) {
            QTest::mouseClick(&select, Qt::LeftButton, {}, target->mapTo(&select, target->rect().center()));
            QTRY_VERIFY(select.menu() && select.menu()->isVisible());
            select.menu()->close();
        }

        select.popUp();
        const QList<QAction*> actions = select.menu()->actions();
        QCOMPARE(actions.size(), 4);
        QVERIFY(!actions.at(0)->isChecked() && actions.at(1)->isChecked() && actions.at(2)->isChecked());
        QVERIFY(!actions.at(0)->isCheckable() && !actions.at(3)->isCheckable()); // no empty boxes
        actions.at(2)->trigger();                                                // the entry already chosen
        select.popUp();
        select.menu()->actions().at(3)->trigger();
        QCOMPARE(picks, (QStringList{"Chromium", "Vivaldi"}));
        QCOMPARE(select.title(), QStringLiteral("Vivaldi"));

        SelectView stale({"a", "b"}, "gone", {});
        QCOMPARE(stale.title(), QStringLiteral("gone"));
        stale.popUp();
        for (QAction* action : stale.menu()->actions())
            QVERIFY(!action->isChecked());
    }

    void pagesFitTheirColumnAndResizeTheWindowOnlyWhenAsked()
    {
        int rowCount = 1;
        QWidget window;
        window.resize(100, 100);
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSizeConstraint(QLayout::SetNoConstraint);
        auto* page = new PageViewController([&] {
            return QList<QWidget*>{UI::section(QStringLiteral("A"), rows(rowCount)), UI::card(rows(1))};
        });
        layout->addWidget(page);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        page->rebuild(true);
        const QSize fitted = window.size();
        QCOMPARE(fitted, page->preferredContentSize());
        QCOMPARE(fitted.width(), 540);
        auto* column = qobject_cast<QVBoxLayout*>(page->content()->layout());
        QCOMPARE(column->contentsMargins(), QMargins(24, 20, 24, 24));
        QCOMPARE(column->itemAt(1)->widget()->width(), 492);

        rowCount = 6;
        page->rebuild(false);
        QCoreApplication::processEvents();
        QCOMPARE(window.size(), fitted);
        page->rebuild(true);
        QVERIFY(window.height() > fitted.height());
    }

    void fillsFollowThePalette()
    {
        QWidget host;
        auto* layout = new QHBoxLayout(&host);
        auto* card = new CardView;
        card->setFixedSize(60, 40);
        auto* badge = new RoundBadge(QStringLiteral("chevron.up.chevron.down"), 20);
        layout->addWidget(card);
        layout->addWidget(badge);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QVERIFY(badge->hasSymbol());
        QVERIFY(!RoundBadge(QStringLiteral("no.such.symbol"), 20).hasSymbol());
        QCOMPARE(card->fillColor().alpha(), qRound(0.06 * 255));
        QCOMPARE(badge->fillColor().alpha(), qRound(0.14 * 255));

        const auto cardPixel = [&] { return card->grab().toImage().pixelColor(30, 20); };
        const auto badgePixel = [&] { return badge->grab().toImage().pixelColor(3, 10); };
        const QColor lightCard = cardPixel();
        const QColor lightBadge = badgePixel();
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(30, 30, 30));
        dark.setColor(QPalette::WindowText, QColor(240, 240, 240));
        host.setPalette(dark);
        QVERIFY(cardPixel() != lightCard);
        QVERIFY(badgePixel() != lightBadge);
    }

    // A disabled switch shows its track, the keyboard's focus shows as a ring,
    // and every control carries its row's name.
    void switchesShowTheirStateAndAreNamed()
    {
        auto* off = new SwitchButton(false);
        auto* focused = new SwitchButton(false);
        off->setEnabled(false);
        std::unique_ptr<QWidget> card(UI::card({UI::row(QStringLiteral("Disabled"), std::nullopt, {}, {off}),
                                                UI::row(QStringLiteral("Focused"), std::nullopt, {}, {focused})}));
        card->show();
        QVERIFY(QTest::qWaitForWindowActive(card.get()));
        QCOMPARE(off->accessibleName(), QStringLiteral("Disabled"));
        QCOMPARE(focused->accessibleName(), QStringLiteral("Focused"));

        const auto distinctPixels = [](const QImage& image, const QColor& from, int tolerance) {
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
        };
        const QImage disabled = off->grab().toImage();
        const QColor background = disabled.pixelColor(0, 0);
        // More than the knob (about 18 x 18 inside the track) stands out from the card.
        const QImage knobOnly = disabled.copy(QRect(2, 2, 18, 18));
        QVERIFY(distinctPixels(disabled, background, 120) > distinctPixels(knobOnly, background, 120) + 20);

        const QImage before = focused->grab().toImage();
        QTest::keyClick(card.get(), Qt::Key_Tab);
        QTRY_VERIFY(focused->hasFocus());
        const QColor highlight = focused->palette().color(QPalette::Highlight);
        QVERIFY(distinctPixels(focused->grab().toImage(), highlight, 60) <
                distinctPixels(before, highlight, 60) - 20); // the ring's pixels are the highlight
    }

    // At the default size the measures hold; a larger desktop font enlarges every
    // text in proportion, and fields are as large as the row text beside them.
    void fontsFollowTheDesktopSize()
    {
        const QFont original = QApplication::font();
        QCOMPARE(UI::font(13).pixelSize(), 13);
        auto* field = UI::field(QString(), QString(), 120);
        std::unique_ptr<QWidget> row(UI::row(QStringLiteral("Title"), std::nullopt, {}, {field}));
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
