#pragma once

#include "AboutTab.h"
#include "AccountsTab.h"
#include "GeneralTab.h"

#include <QObject>
#include <QPointer>

#include <optional>

#include "AddAccountForm.h"
#include "PageViewController.h"
#include "SettingsWindow.h"

// Owns the one settings window with its General, Accounts and About tabs.
class SettingsWindowController : public QObject {
    Q_OBJECT

public:
    static SettingsWindowController& shared();

    SettingsWindowController();
    ~SettingsWindowController() override;

    SettingsWindow* window() const { return m_window; }
    PageViewController* accountsPage() const { return m_accountsPage; }
    AddAccountForm* addForm() const { return m_addForm; }
    const QString autoTitle = QStringLiteral("Automatic");

    // 0 General, 1 Accounts, 2 About; without an index the last tab stays.
    void show(std::optional<int> tab = std::nullopt);
    void build();

    QList<QWidget*> generalSections();
    QList<QWidget*> accountSections();
    QList<QWidget*> aboutSections();

    // The Accounts tab with the add-account form in place of the list.
    void addAccount();

    // Renders every tab into folder + "/tab<i>.png"; what cannot be written is skipped.
    void snapshot(const QString& folder);

    GeneralTab& general() { return m_general; }
    AccountsTab& accounts() { return m_accounts; }

private:
    void rebuildAccountsPage();
    void dropAddForm();

    QPointer<SettingsWindow> m_window;
    QPointer<PageViewController> m_accountsPage;
    QPointer<AddAccountForm> m_addForm;
    GeneralTab m_general;
    AccountsTab m_accounts;
    AboutTab m_about;
};
