#pragma once

#include <QList>
#include <QUuid>

#include <functional>

class QToolButton;
class QWidget;
struct Account;

// The list of accounts in the settings window. Rows find their account by id
// when used, so a row built before the list changed acts on the right account
// or on none.
class AccountsTab {
public:
    AccountsTab(std::function<void()> rebuildPage, std::function<void()> addTapped);

    QList<QWidget*> sections();

    void openAccount(const QUuid& id);
    void renameAccount(const QUuid& id);
    void changeColor(const QUuid& id, const QString& color);
    void removeAccount(const QUuid& id);

private:
    QWidget* accountRow(const Account& account);
    QToolButton* actionButton(const Account& account);

    const std::function<void()> m_rebuildPage;
    const std::function<void()> m_addTapped;
};
