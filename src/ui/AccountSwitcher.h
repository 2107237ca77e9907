#pragma once

#include "Account.h"

#include <QList>
#include <QUrl>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
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

    // The switcher as the chooser of a link: the link at the top, an entry that
    // opens it in `plainBrowser` without an account (none when empty), and a box
    // that makes the choice a rule for the link's host. `choose` gets the account
    // (none for the plain browser) and whether to remember it; closing without a
    // choice, or another link taking this one's place, calls `dropped`.
    using LinkChoice = std::function<void(const std::optional<Account>&, bool always)>;
    void chooseFor(const QUrl& link, const QString& plainBrowser, LinkChoice choose, std::function<void()> dropped);
    QCheckBox* alwaysBox() const { return m_always; }

    void setFilter(const QString& text);
    // The accounts shown now, in order.
    QList<Account> shownAccounts() const;
    QLineEdit* searchField() const { return m_search; }

    // Case and accents do not count: "ecole" finds "École".
    static QString folded(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void fill();
    void moveSelection(int step);
    void openItem(QListWidgetItem* item);
    std::optional<Account> accountOf(const QListWidgetItem* item) const;

    QList<Group> m_groups;
    Opener m_open;
    QLabel* m_link = nullptr;
    QLineEdit* m_search;
    QListWidget* m_list;
    QCheckBox* m_always = nullptr;
    QString m_plainBrowser;
    LinkChoice m_choose;
    std::function<void()> m_dropped;
    bool m_wasActive = false;
};
