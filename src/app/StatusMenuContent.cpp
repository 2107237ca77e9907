#include "StatusMenuContent.h"

#include "PlatformTexts.h"
#include "Store.h"

#include <QSet>

#include <map>

namespace {

MenuEntry separator()
{
    return {};
}

MenuEntry header(const QString& siteName)
{
    MenuEntry entry;
    entry.kind = MenuEntry::Kind::Header;
    entry.title = siteName;
    return entry;
}

MenuEntry accountItem(const Account& account)
{
    MenuEntry entry;
    entry.kind = MenuEntry::Kind::Account;
    entry.title = account.label;
    entry.enabled = true;
    entry.account = account;
    entry.indentation = 1;
    return entry;
}

MenuEntry removeItem(const Account& account)
{
    MenuEntry entry = accountItem(account);
    entry.kind = MenuEntry::Kind::RemoveAlternate;
    entry.title = QStringLiteral("Remove ") + account.label + QStringLiteral("\u2026");
    return entry;
}

MenuEntry info(const QString& title)
{
    MenuEntry entry;
    entry.kind = MenuEntry::Kind::Info;
    entry.title = title;
    return entry;
}

MenuEntry command(const QString& title, MenuEntry::Command command, const QKeySequence& shortcut = {})
{
    MenuEntry entry;
    entry.kind = MenuEntry::Kind::Command;
    entry.title = title;
    entry.enabled = true;
    entry.command = command;
    entry.shortcut = shortcut;
    return entry;
}

// std::map orders QString keys by UTF-16 code units, which for NFC text is the
// code-point order outside the astral planes, and puts "Zeta" before "alpha".
QString siteKey(const Account& account)
{
    return account.siteName.normalized(QString::NormalizationForm_C);
}

std::map<QString, QList<Account>> groupsBySite(const QList<Account>& accounts)
{
    std::map<QString, QList<Account>> groups;
    for (const Account& account : accounts)
        groups[siteKey(account)].append(account);
    return groups;
}

// The most recently opened accounts whose rows (each group adds a header and a
// separator) fit in `rows` beside the "More accounts…" item, in the store's order.
QList<Account> mostRecent(const QList<Account>& accounts, qsizetype rows)
{
    QSet<QUuid> kept;
    QSet<QString> sites;
    for (const Account& account : Store::sorted(accounts)) {
        const qsizetype groups = sites.size() + (sites.contains(siteKey(account)) ? 0 : 1);
        if (kept.size() + 1 + 2 * groups + 1 > rows)
            break;
        kept.insert(account.id);
        sites.insert(siteKey(account));
    }
    QList<Account> shown;
    for (const Account& account : accounts) {
        if (kept.contains(account.id))
            shown.append(account);
    }
    return shown;
}

void appendTail(QList<MenuEntry>& entries)
{
    entries.append(
        command(QStringLiteral("Add account\u2026"), MenuEntry::Command::Add, QKeySequence(QStringLiteral("Ctrl+N"))));
    entries.append(info(PlatformTexts::removeHint()));
    entries.append(separator());
    entries.append(command(QStringLiteral("Settings\u2026"), MenuEntry::Command::Settings,
                           QKeySequence(QStringLiteral("Ctrl+,"))));
    entries.append(command(QStringLiteral("About Corvalink"), MenuEntry::Command::About));
    entries.append(separator());
    entries.append(
        command(QStringLiteral("Quit Corvalink"), MenuEntry::Command::Quit, QKeySequence(QStringLiteral("Ctrl+Q"))));
}

} // namespace

namespace StatusMenuContent {

QList<MenuEntry> build(const QList<Account>& accounts, std::optional<qsizetype> accountRows)
{
    QList<MenuEntry> entries;
    const qsizetype allRows = accounts.size() + 2 * qsizetype(groupsBySite(accounts).size());
    const bool cut = accountRows && allRows > *accountRows;
    const auto groups = groupsBySite(cut ? mostRecent(accounts, *accountRows) : accounts);
    for (const auto& [siteName, members] : groups) {
        entries.append(header(siteName));
        for (const Account& account : Store::sorted(members)) {
            entries.append(accountItem(account));
            entries.append(removeItem(account));
        }
        entries.append(separator());
    }
    if (cut)
        entries.append(command(QStringLiteral("More accounts\u2026"), MenuEntry::Command::MoreAccounts));
    else if (groups.empty()) {
        entries.append(info(QStringLiteral("No accounts yet")));
        entries.append(separator());
    }
    appendTail(entries);
    return entries;
}

std::vector<const Account*> inMenuOrder(const QList<Account>& accounts)
{
    std::map<QString, std::vector<const Account*>> groups;
    for (const Account& account : accounts)
        groups[siteKey(account)].push_back(&account);
    std::vector<const Account*> ordered;
    ordered.reserve(accounts.size());
    for (auto& [siteName, members] : groups) {
        Store::sortInPlace(members);
        ordered.insert(ordered.end(), members.cbegin(), members.cend());
    }
    return ordered;
}

qsizetype tailRows()
{
    QList<MenuEntry> tail;
    appendTail(tail);
    return tail.size();
}

} // namespace StatusMenuContent
