#include "AccountsTab.h"

#include "AccountColor.h"
#include "AccountOpener.h"
#include "AccountRemoval.h"
#include "AddAccountForm.h"
#include "Alert.h"
#include "BrowserLauncher.h"
#include "LinkRules.h"
#include "RelativeDate.h"
#include "SelectView.h"
#include "Store.h"
#include "Symbols.h"
#include "UI.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

namespace {

const QString defaultChoice = QStringLiteral("Default");

std::optional<Account> storedAccount(const QUuid& id)
{
    return Account::find(Store::shared().accounts(), id);
}

QString subtitle(const Account& account)
{
    const QString opened = account.lastOpened
                               ? QStringLiteral("opened ") +
                                     RelativeDate::shortText(Account::dateFromReferenceSeconds(*account.lastOpened),
                                                             QDateTime::currentDateTimeUtc())
                               : QStringLiteral("never opened");
    return account.siteName + QStringLiteral(" \u00B7 ") + opened;
}

QWidget* addButtonRow(const std::function<void()>& addTapped)
{
    auto* button = new QPushButton(QStringLiteral("Add account\u2026"));
    QObject::connect(button, &QPushButton::clicked, [addTapped] {
        if (addTapped)
            addTapped();
    });
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QWidget, 1);
    layout->addWidget(button);
    return row;
}

} // namespace

AccountsTab::AccountsTab(std::function<void()> rebuildPage, std::function<void()> addTapped)
    : m_rebuildPage(std::move(rebuildPage))
    , m_addTapped(std::move(addTapped))
{
}

QList<QWidget*> AccountsTab::sections()
{
    QList<QWidget*> rows;
    for (const Account& account : Store::shared().accounts())
        rows.append(accountRow(account));
    if (rows.isEmpty())
        rows.append(UI::row(QStringLiteral("No accounts yet")));
    return {UI::section(std::nullopt, rows,
                        QStringLiteral("Each account has its own isolated browser profile. Log in once, then open "
                                       "it from the menu bar any time.")),
            addButtonRow(m_addTapped)};
}

QWidget* AccountsTab::accountRow(const Account& account)
{
    const QStringList installed = BrowserLauncher::installedBrowsers();
    const QString selected = account.browser && installed.contains(*account.browser) ? *account.browser : defaultChoice;
    const QUuid id = account.id;
    auto* browser = new SelectView(QStringList{defaultChoice} + installed, selected, [id](const QString& choice) {
        // The row's copy may be stale by now; change the stored record.
        if (auto current = storedAccount(id)) {
            current->browser = choice == defaultChoice ? std::nullopt : std::optional<QString>(choice);
            Store::shared().update(*current);
        }
    });
    return UI::row(account.label, subtitle(account), AccountColor::dotOrSpace(account.color, 10),
                   {browser, actionButton(account)});
}

QToolButton* AccountsTab::actionButton(const Account& account)
{
    const QUuid id = account.id;
    auto* button = new QToolButton;
    button->setObjectName(QStringLiteral("actions"));
    button->setAutoRaise(true);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    UI::followPalette(button, [](QWidget* target) {
        static_cast<QToolButton*>(target)->setIcon(
            Symbols::icon(QStringLiteral("ellipsis.circle"), 14, QApplication::palette().color(QPalette::WindowText)));
    });
    button->setIconSize(QSize(14, 14));

    auto* menu = new QMenu(button);
    QObject::connect(menu->addAction(QStringLiteral("Open")), &QAction::triggered, [this, id] { openAccount(id); });
    QObject::connect(menu->addAction(QStringLiteral("Rename\u2026")), &QAction::triggered,
                     [this, id] { renameAccount(id); });
    QMenu* colors = menu->addMenu(QStringLiteral("Color"));
    for (const QString& name : AccountColor::names()) {
        QAction* item = colors->addAction(AccountColor::dot(name, 9), name);
        // Only the current colour is marked; the others show no empty box.
        const bool current = name == account.color.value_or(QStringLiteral("None"));
        item->setCheckable(current);
        item->setChecked(current);
        QObject::connect(item, &QAction::triggered, [this, id, name] { changeColor(id, name); });
    }
    // The hosts whose links open in this account, read when the menu opens.
    QMenu* links = menu->addMenu(QStringLiteral("Link rules"));
    QObject::connect(menu, &QMenu::aboutToShow, links, [links, id] {
        links->clear();
        LinkRules::shared().reload();
        const QStringList hosts = LinkRules::shared().hostsOf(id);
        links->menuAction()->setEnabled(!hosts.isEmpty());
        for (const QString& host : hosts) {
            QObject::connect(links->addAction(QStringLiteral("Remove \u201C%1\u201D").arg(host)), &QAction::triggered,
                             [host] { LinkRules::shared().remove(host); });
        }
    });
    QObject::connect(menu->addAction(QStringLiteral("Remove\u2026")), &QAction::triggered,
                     [this, id] { removeAccount(id); });
    button->setMenu(menu);
    return button;
}

void AccountsTab::openAccount(const QUuid& id)
{
    if (auto account = storedAccount(id))
        AccountOpener::open(*account);
}

void AccountsTab::renameAccount(const QUuid& id)
{
    auto account = storedAccount(id);
    if (!account)
        return;
    auto field = std::make_unique<QLineEdit>(account->label);
    field->setFixedSize(240, 24);
    QString problem;
    int answer = Alert::firstButton;
    // A label of spaces only would show as nothing in the menu: asked again.
    do {
        answer = Alert::run(QStringLiteral("Rename account"), problem,
                            {QStringLiteral("Save"), QStringLiteral("Cancel")}, field.get());
        problem = QStringLiteral("Enter a label, such as work or perso.");
    } while (answer == Alert::firstButton && AddAccountForm::trimmed(field->text()).isEmpty() &&
             !field->text().isEmpty());
    const QString text = field->text();
    // The alert may have run a while: take the record as it is stored now.
    account = storedAccount(id);
    if (answer != Alert::firstButton || text.isEmpty() || !account)
        return;
    account->label = text;
    Store::shared().update(*account);
    m_rebuildPage();
}

void AccountsTab::changeColor(const QUuid& id, const QString& color)
{
    auto account = storedAccount(id);
    if (!account)
        return;
    account->color = color == QLatin1String("None") ? std::nullopt : std::optional<QString>(color);
    Store::shared().update(*account);
    m_rebuildPage();
}

void AccountsTab::removeAccount(const QUuid& id)
{
    const auto account = storedAccount(id);
    if (!account)
        return;
    if (AccountRemoval::confirmAndRemove(
            *account, QStringLiteral(
                          "You can also delete its saved session. You would need to log in again if you add it back.")))
        m_rebuildPage();
}
