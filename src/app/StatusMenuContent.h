#pragma once

#include "Account.h"

#include <QKeySequence>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

// What the status menu holds, item by item, before it becomes a QMenu.
struct MenuEntry {
    enum class Kind { Header, Account, RemoveAlternate, Separator, Info, Command };
    enum class Command { None, Add, Settings, About, Quit, MoreAccounts };

    Kind kind = Kind::Separator;
    QString title;
    bool enabled = false;
    QKeySequence shortcut;
    Command command = Command::None;
    std::optional<Account> account;
    int indentation = 0;

    bool operator==(const MenuEntry&) const = default;
};

namespace StatusMenuContent {

// Accounts grouped by site name (NFC), groups in code-point order, each group in
// the store's account order; then the fixed tail. With a number of rows for the
// accounts' part, only the most recently opened accounts that fit there with
// their site headers, and a "More accounts…" item.
QList<MenuEntry> build(const QList<Account>& accounts, std::optional<qsizetype> accountRows = std::nullopt);

// The accounts in the order the menu shows them: by site, then as the store sorts them.
std::vector<const Account*> inMenuOrder(const QList<Account>& accounts);

// How many rows the fixed tail takes.
qsizetype tailRows();

} // namespace StatusMenuContent
