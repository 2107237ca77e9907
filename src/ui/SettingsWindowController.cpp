#include "SettingsWindowController.h"

#include "AccountOpener.h"
#include "AddAccountForm.h"
#include "PageViewController.h"
#include "SettingsWindow.h"
#include "Store.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QStyle>
#include <QTimer>

namespace {

// How long each tab gets to lay out and draw before it is captured.
constexpr int snapshotSettleMs = 600;

void settle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

SettingsWindowController& SettingsWindowController::shared()
{
    static SettingsWindowController* controller = new SettingsWindowController;
    return *controller;
}

SettingsWindowController::SettingsWindowController()
    : m_general(autoTitle, [this] { rebuildAccountsPage(); })
    , m_accounts([this] { rebuildAccountsPage(); }, [this] { addAccount(); })
{
}

SettingsWindowController::~SettingsWindowController()
{
    delete m_window;
}

void SettingsWindowController::build()
{
    auto* window = new SettingsWindow;
    auto* general = new PageViewController([this] { return generalSections(); });
    auto* accounts = new PageViewController([this] { return accountSections(); });
    auto* about = new PageViewController([this] { return aboutSections(); });
    m_accountsPage = accounts;
    connect(&Store::shared(), &Store::accountsChanged, this, &SettingsWindowController::rebuildAccountsPage);

    window->addTab(QStringLiteral("General"), QStringLiteral("gearshape"), general);
    window->addTab(QStringLiteral("Accounts"), QStringLiteral("person.2"), accounts);
    window->addTab(QStringLiteral("About"), QStringLiteral("info.circle"), about);
    m_window = window;
}

void SettingsWindowController::show(std::optional<int> tab)
{
    if (!m_window)
        build();
    if (tab)
        m_window->selectTab(*tab);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

QList<QWidget*> SettingsWindowController::generalSections()
{
    return m_general.sections();
}

QList<QWidget*> SettingsWindowController::accountSections()
{
    if (m_addForm)
        return m_addForm->sections();
    return m_accounts.sections();
}

QList<QWidget*> SettingsWindowController::aboutSections()
{
    return m_about.sections();
}

void SettingsWindowController::rebuildAccountsPage()
{
    // A hidden page is built afresh when it is shown.
    if (m_accountsPage && m_accountsPage->isVisible())
        m_accountsPage->rebuild(true);
}

void SettingsWindowController::dropAddForm()
{
    // The form may be inside one of its own button signals: let it finish first.
    if (m_addForm)
        m_addForm->deleteLater();
    m_addForm = nullptr;
}

void SettingsWindowController::addAccount()
{
    show(1);
    QPointer<SettingsWindowController> self(this);
    // A half-filled form comes forward as it was.
    if (m_addForm) {
        m_addForm->labelField()->setFocus(Qt::OtherFocusReason);
        return;
    }
    m_addForm = new AddAccountForm(
        [self](const Account& account) {
            Store::shared().append(account);
            if (self) {
                self->dropAddForm();
                self->rebuildAccountsPage();
            }
            AccountOpener::open(account);
        },
        [self] {
            if (!self)
                return;
            self->dropAddForm();
            self->rebuildAccountsPage();
        });
    connect(m_addForm, &AddAccountForm::layoutChanged, this, &SettingsWindowController::rebuildAccountsPage);
    rebuildAccountsPage();
    QPointer<AddAccountForm> form(m_addForm);
    QTimer::singleShot(0, this, [self, form] {
        if (self && form && self->m_window)
            form->labelField()->setFocus(Qt::OtherFocusReason);
    });
}

void SettingsWindowController::snapshot(const QString& folder)
{
    // The pictures look the same whatever style and colours the desktop uses:
    // set for the whole application, since secondary texts follow its palette.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(QApplication::style()->standardPalette());
    if (!m_window)
        build();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    if (qEnvironmentVariableIsSet("SNAP_ADD"))
        addAccount();

    for (int i = 0; i < m_window->tabCount(); ++i) {
        m_window->selectTab(i);
        settle(snapshotSettleMs);
        const QPixmap picture = m_window->grab();
        if (picture.isNull())
            continue;
        picture.save(folder + QStringLiteral("/tab") + QString::number(i) + QStringLiteral(".png"), "PNG");
    }
}
