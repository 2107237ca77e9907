#include "CardView.h"
#include "ElidedLabel.h"
#include "PageViewController.h"
#include "RoundBadge.h"
#include "SelectView.h"
#include "TestEnvironment.h"
#include "UI.h"
#include "WidgetFinder.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>

#include <type_traits>

// Only the listed constructors exist.
static_assert(!std::is_default_constructible_v<RoundBadge>);
static_assert(!std::is_default_constructible_v<SelectView>);
static_assert(!std::is_default_constructible_v<PageViewController>);
static_assert(!std::is_copy_constructible_v<CardView>);
static_assert(!std::is_constructible_v<RoundBadge, QWidget*>);
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

    static QPalette darkPalette()
    {
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(30, 30, 30));
        dark.setColor(QPalette::WindowText, QColor(240, 240, 240));
        return dark;
    }

private Q_SLOTS:
    void cardsSeparateRowsWithHairlines()
    {
        std::unique_ptr<QWidget> one(UI::card(rows(1)));
        QCOMPARE(one->layout()->count(), 1);
        for (QFrame* frame : one->findChildren<QFrame*>())
            QVERIFY(frame->frameShape() != QFrame::HLine);

        std::unique_ptr<QWidget> three(UI::card(rows(3)));
        QCOMPARE(three->layout()->count(), 5);
        for (int i : {1, 3}) {
            auto* line = qobject_cast<QFrame*>(three->layout()->itemAt(i)->widget());
            QVERIFY(line);
            QCOMPARE(line->frameShape(), QFrame::HLine);
            QCOMPARE(line->height() <= 1 || line->maximumHeight() == 1, true);
        }
        QCOMPARE(three->layout()->spacing(), 0);

        std::unique_ptr<QWidget> empty(UI::card({}));
        QCOMPARE(empty->layout()->count(), 0);
        QVERIFY(qobject_cast<CardView*>(empty.get()));
    }

    void sectionsStackHeaderCardAndFootnote()
    {
        std::unique_ptr<QWidget> bare(UI::section(std::nullopt, rows(1)));
        QCOMPARE(bare->layout()->count(), 1);
        QVERIFY(qobject_cast<CardView*>(bare->layout()->itemAt(0)->widget()));

        std::unique_ptr<QWidget> emptyTitle(UI::section(QString(), rows(1), QStringLiteral("note")));
        QCOMPARE(emptyTitle->layout()->count(), 3);
        auto* header = qobject_cast<QLabel*>(emptyTitle->layout()->itemAt(0)->widget());
        QVERIFY(header);
        QCOMPARE(header->text(), QString());
        QCOMPARE(emptyTitle->layout()->spacing(), 8);
        auto* footnote = qobject_cast<QLabel*>(emptyTitle->layout()->itemAt(2)->widget());
        QVERIFY(footnote->wordWrap());
        QCOMPARE(footnote->font().pixelSize(), 11);
    }

    void typeAndFields()
    {
        std::unique_ptr<QLabel> header(UI::header(QStringLiteral("Browser")));
        QCOMPARE(header->font().pixelSize(), 13);
        QCOMPARE(header->font().weight(), QFont::DemiBold);

        std::unique_ptr<QLineEdit> field(UI::field(QStringLiteral("x"), QStringLiteral("hint"), 260));
        QCOMPARE(field->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QVERIFY(!field->hasFrame());
        QCOMPARE(field->minimumWidth(), 260);
        QCOMPARE(field->maximumWidth(), 260);
        QCOMPARE(field->placeholderText(), QStringLiteral("hint"));

        std::unique_ptr<QLabel> link(UI::link(QStringLiteral("Built by "), QStringLiteral("us"),
                                              QStringLiteral("https://example.org/a?b=1&c=2")));
        QVERIFY(link->text().contains(QStringLiteral("href=\"https://example.org/a?b=1&amp;c=2\"")));
        QVERIFY(link->text().contains(QStringLiteral("Built by </span><a")));
        QVERIFY(link->openExternalLinks());
        QCOMPARE(link->font().pixelSize(), 12);
    }

    void rowsAreTextSpacerAccessories()
    {
        std::unique_ptr<QWidget> plain(UI::row(QStringLiteral("Title")));
        QCOMPARE(plain->layout()->count(), 3);
        QWidget* accessories = plain->layout()->itemAt(2)->widget();
        QCOMPARE(accessories->layout()->count(), 0);
        QCOMPARE(plain->layout()->contentsMargins(), QMargins(14, 9, 14, 9));
        plain->resize(492, 10);
        plain->show();
        QVERIFY(plain->height() >= 44);

        auto* button = new QLineEdit;
        std::unique_ptr<QWidget> full(
            UI::row(QStringLiteral("T"), QStringLiteral("sub"), Symbols_dummyIcon(), {button}));
        QCOMPARE(full->layout()->itemAt(2)->widget()->layout()->count(), 1);
        QVERIFY(WidgetFinder::label(full.get(), QStringLiteral("sub")));
    }

    void longSubtitlesShortenInTheMiddle()
    {
        const QString subtitle = QStringLiteral("BEGIN") + QString(300, QLatin1Char('x')) + QStringLiteral("END");
        std::unique_ptr<QWidget> row(UI::row(QStringLiteral("Title"), subtitle, {}, {new QLineEdit}));
        row->setFixedWidth(492);
        row->show();
        QVERIFY(QTest::qWaitForWindowExposed(row.get()));
        auto* label = row->findChild<ElidedLabel*>();
        QVERIFY(label);
        const QString shown = label->shownText();
        QVERIFY(shown.size() < subtitle.size());
        QVERIFY(shown.startsWith(QStringLiteral("BEGIN")));
        QVERIFY(shown.endsWith(QStringLiteral("END")));
    }

    void selectViewOpensFromAnyClickAndReportsEveryPick()
    {
        QStringList picks;
        SelectView select({"Automatic", "Chromium", "Chromium", "Vivaldi"}, "Chromium",
                          [&](const QString& pick) { picks << pick; });
        select.show();
        QVERIFY(QTest::qWaitForWindowExposed(&select));
        QCOMPARE(select.focusPolicy(), Qt::NoFocus);

        // On the label, on the badge, and on the control itself.
        for (QWidget* target : QList<QWidget*>{select.findChild<QLabel*>(), select.findChild<RoundBadge*>(), &select}) {
            const QPoint point = target->mapTo(&select, target->rect().center());
            QCOMPARE(select.childAt(point) == nullptr ||
                         select.childAt(point)->testAttribute(Qt::WA_TransparentForMouseEvents),
                     true);
            QTest::mouseClick(&select, Qt::LeftButton, {}, point);
            QVERIFY(select.menu());
            QTRY_VERIFY(select.menu()->isVisible());
            select.menu()->close();
        }

        select.popUp();
        const QList<QAction*> actions = select.menu()->actions();
        QCOMPARE(actions.size(), 4);
        QCOMPARE(actions.at(1)->isChecked(), true);
        QCOMPARE(actions.at(2)->isChecked(), true);
        QCOMPARE(actions.at(0)->isChecked(), false);
        actions.at(2)->trigger(); // the entry already chosen
        QCOMPARE(picks, QStringList{"Chromium"});
        QCOMPARE(select.selected(), QStringLiteral("Chromium"));

        select.popUp();
        select.menu()->actions().at(3)->trigger();
        QCOMPARE(picks, (QStringList{"Chromium", "Vivaldi"}));
        QCOMPARE(select.title(), QStringLiteral("Vivaldi"));
    }

    void selectViewWithAChoiceNotAmongTheItems()
    {
        SelectView select({"a", "b"}, "stale", {});
        QCOMPARE(select.title(), QStringLiteral("stale"));
        select.popUp();
        for (QAction* action : select.menu()->actions())
            QVERIFY(!action->isChecked());

        SelectView empty({}, "x", {});
        empty.popUp();
        QVERIFY(empty.menu()->actions().isEmpty());
    }

    void pagesAreAColumnOfFixedWidth()
    {
        int builds = 0;
        PageViewController page([&] {
            ++builds;
            return QList<QWidget*>{UI::section(QStringLiteral("A"), rows(2)), UI::section(std::nullopt, rows(1))};
        });
        page.rebuild(true); // not in a window: only the preferred size changes
        QCOMPARE(builds, 1);
        QCOMPARE(page.preferredContentSize().width(), 540);
        auto* column = qobject_cast<QVBoxLayout*>(page.content()->layout());
        QCOMPARE(column->spacing(), 22);
        QCOMPARE(column->contentsMargins(), QMargins(24, 20, 24, 24));
        for (int i = 0; i < column->count(); ++i)
            QCOMPARE(column->itemAt(i)->widget()->minimumWidth(), 492);
    }

    void onlyARebuildThatAsksForItResizesTheWindow()
    {
        int rowCount = 1;
        QWidget window;
        window.resize(100, 100);
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSizeConstraint(QLayout::SetNoConstraint);
        auto* page = new PageViewController([&] { return QList<QWidget*>{UI::section(std::nullopt, rows(rowCount))}; });
        layout->addWidget(page);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        page->rebuild(true);
        const QSize fitted = window.size();
        QCOMPARE(fitted.height(), page->preferredContentSize().height());

        rowCount = 6;
        page->rebuild(false);
        QCoreApplication::processEvents();
        QCOMPARE(window.size(), fitted);
        page->rebuild(true);
        QVERIFY(window.height() > fitted.height());
        QCOMPARE(window.width(), 540);
    }

    void fillsFollowThePalette()
    {
        QWidget host;
        host.setFixedSize(120, 60);
        auto* layout = new QHBoxLayout(&host);
        auto* card = new CardView;
        card->setFixedSize(60, 40);
        auto* badge = new RoundBadge(QStringLiteral("chevron.up.chevron.down"), 20);
        layout->addWidget(card);
        layout->addWidget(badge);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QVERIFY(badge->hasSymbol());
        QCOMPARE(card->fillColor().alpha(), qRound(0.06 * 255));
        QCOMPARE(badge->fillColor().alpha(), qRound(0.14 * 255));

        const auto cardPixel = [&] { return card->grab().toImage().pixelColor(30, 20); };
        const auto badgePixel = [&] { return badge->grab().toImage().pixelColor(3, 10); };
        const QColor lightCard = cardPixel();
        const QColor lightBadge = badgePixel();
        host.setPalette(darkPalette());
        QCOMPARE(card->fillColor().rgb(), QColor(240, 240, 240).rgb());
        QVERIFY(cardPixel() != lightCard);
        QVERIFY(badgePixel() != lightBadge);

        RoundBadge missing(QStringLiteral("no.such.symbol"), 20);
        QVERIFY(!missing.hasSymbol());
    }

private:
    static QIcon Symbols_dummyIcon()
    {
        QPixmap pixmap(10, 10);
        pixmap.fill(Qt::red);
        return QIcon(pixmap);
    }
};

CORVALINK_TEST_MAIN(TestToolkit)
#include "TestToolkit.moc"
