#pragma once

#include "Account.h"

#include <QList>
#include <QWidget>

#include <functional>

class QLineEdit;
class QListWidget;
class QListWidgetItem;

// Where a menu cannot pop up at the cursor (Wayland), the shortcut and
// "corvalink --menu" open this small window instead: a search field and the
// accounts under their site headers, in the menu's order. Typing filters by
// label or site name, Up and Down move, Return or a click opens, Escape or
// leaving the window closes it.
class AccountSwitcher : public QWidget {
    Q_OBJECT

public:
    struct Group {
        QString siteName;
        QList<Account> accounts;
    };
    using Opener = std::function<void(const Account&)>;

    AccountSwitcher(QList<Group> groups, Opener open);
    AccountSwitcher() = delete;

    void setFilter(const QString& text);
    // The accounts shown now, in order.
    QList<Account> shownAccounts() const;
    QLineEdit* searchField() const { return m_search; }

    // Case and accents do not count: "ecole" finds "École".
    static QString folded(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void fill();
    void moveSelection(int step);
    void openItem(QListWidgetItem* item);
    std::optional<Account> accountOf(const QListWidgetItem* item) const;

    QList<Group> m_groups;
    Opener m_open;
    QLineEdit* m_search;
    QListWidget* m_list;
    bool m_wasActive = false;
};
