#include "StatusMenuContent.h"

#include "PlatformTexts.h"
#include "Store.h"

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
std::map<QString, QList<Account>> groupsBySite(const QList<Account>& accounts)
{
    std::map<QString, QList<Account>> groups;
    for (const Account& account : accounts)
        groups[account.siteName.normalized(QString::NormalizationForm_C)].append(account);
    return groups;
}

} // namespace

namespace StatusMenuContent {

QList<MenuEntry> build(const QList<Account>& accounts)
{
    QList<MenuEntry> entries;
    const auto groups = groupsBySite(accounts);
    for (const auto& [siteName, members] : groups) {
        entries.append(header(siteName));
        for (const Account& account : Store::sorted(members)) {
            entries.append(accountItem(account));
            entries.append(removeItem(account));
        }
        entries.append(separator());
    }
    if (groups.empty()) {
        entries.append(info(QStringLiteral("No accounts yet")));
        entries.append(separator());
    }
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
    return entries;
}

} // namespace StatusMenuContent
