#include "GeneralTab.h"

#include "BrowserLauncher.h"
#include "DefaultBrowser.h"
#include "ElidedLabel.h"
#include "Feedback.h"
#include "HotKey.h"
#include "LoginItem.h"
#include "PlatformTexts.h"
#include "SelectView.h"
#include "Settings.h"
#include "Store.h"
#include "SwitchButton.h"
#include "UI.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>

namespace {

bool iCloudDriveAvailable()
{
    return Store::cloudAvailable();
}

} // namespace

GeneralTab::GeneralTab(QString autoTitle, std::function<void()> accountsMayHaveChanged)
    : m_autoTitle(std::move(autoTitle))
    , m_accountsMayHaveChanged(std::move(accountsMayHaveChanged))
{
}

QList<QWidget*> GeneralTab::sections()
{
    return {browserSection(), advancedSection(), syncSection(), systemSection()};
}

QWidget* GeneralTab::browserSection()
{
    const QStringList installed = BrowserLauncher::installedBrowsers();
    const auto stored = Settings::defaultBrowser();
    const QString selected = stored && installed.contains(*stored) ? *stored : m_autoTitle;
    auto* browser = new SelectView(QStringList{m_autoTitle} + installed, selected,
                                   [this](const QString& choice) { browserChosen(choice); });

    auto* incognito = new SwitchButton(Settings::incognito());
    QObject::connect(incognito, &SwitchButton::clicked, [this](bool on) { incognitoChanged(on); });

    return UI::section(QStringLiteral("Browser"),
                       {UI::row(QStringLiteral("Default browser"), std::nullopt, {}, {browser}),
                        UI::row(QStringLiteral("Incognito"), std::nullopt, {}, {incognito})},
                       QStringLiteral("Any Chromium-based browser works: Chrome, Brave, Edge, Vivaldi, Arc, Opera, "
                                      "Chromium and more. Each account can use a different one. Incognito mode does "
                                      "not keep sessions, so you would log in every time."));
}

QWidget* GeneralTab::advancedSection()
{
    QLineEdit* flags = UI::field(Settings::extraArgs(), QStringLiteral("e.g. --start-maximized"), 260);
    QObject::connect(flags, &QLineEdit::textEdited, [this](const QString& text) { argsChanged(text); });

    auto* folder = new QPushButton(PlatformTexts::showFolderButton());
    QObject::connect(folder, &QPushButton::clicked, [this] { showFolder(); });

    return UI::section(QStringLiteral("Advanced"),
                       {UI::row(QStringLiteral("Extra browser flags"), std::nullopt, {}, {flags}),
                        UI::row(QStringLiteral("Data folder"), std::nullopt, {}, {folder})});
}

QWidget* GeneralTab::syncSection()
{
    const bool available = iCloudDriveAvailable();
    auto* sync = new SwitchButton(available && Settings::iCloudSync());
    sync->setEnabled(available);
    QObject::connect(sync, &SwitchButton::clicked, [this, sync] { syncChanged(sync); });
    return UI::section(QStringLiteral("Sync"),
                       {UI::row(QStringLiteral("Sync with iCloud Drive"),
                                Store::shared().syncProblem().isEmpty()
                                    ? QStringLiteral("Accounts list only")
                                    : QStringLiteral("Could not switch on: ") + Store::shared().syncProblem(),
                                {}, {sync})},
                       available ? PlatformTexts::syncFootnoteAvailable() : PlatformTexts::syncFootnoteMissing());
}

QWidget* GeneralTab::systemSection()
{
    const HotKey& shortcut = HotKey::shared();
    // Without a way to arm it, the switch cannot promise anything.
    const bool armable = shortcut.kind() != HotKeyBackend::Kind::None;
    auto* hotkey = new SwitchButton(armable && Settings::hotkeyEnabled());
    hotkey->setEnabled(armable);
    QObject::connect(hotkey, &SwitchButton::clicked, [this](bool on) { hotkeyChanged(on); });
    auto* login = new SwitchButton(LoginItem::isEnabled());
    QObject::connect(login, &SwitchButton::clicked, [this, login] { loginChanged(login); });
    const auto line = [armable, hotKey = &shortcut] {
        return PlatformTexts::shortcutSubtitle(hotKey->kind(), hotKey->trigger(),
                                               armable && Settings::hotkeyEnabled() && hotKey->isRefused());
    };
    QWidget* shortcutRow = UI::row(QStringLiteral("Quick-switch shortcut"), line(), {}, {hotkey});
    // The line follows the shortcut as it is armed, refused, freed or given other keys.
    auto* subtitle = shortcutRow->findChildren<ElidedLabel*>().value(1);
    QObject::connect(&shortcut, &HotKey::changed, subtitle, [subtitle, line] { subtitle->setText(line()); });
    return UI::section(QStringLiteral("System"),
                       {shortcutRow, linksRow(), UI::row(QStringLiteral("Open at login"), std::nullopt, {}, {login})});
}

// Shows what the desktop holds, also when another program took the links since.
QWidget* GeneralTab::linksRow()
{
    auto* links = new SwitchButton(DefaultBrowser::current() == DefaultBrowser::corvalinkEntry());
    QWidget* row = UI::row(QStringLiteral("Open links in Corvalink"), linksSubtitle(QString()), {}, {links});
    auto* subtitle = row->findChildren<ElidedLabel*>().value(1);
    QObject::connect(links, &SwitchButton::clicked, [links, subtitle](bool on) {
        QString why;
        if (!(on ? DefaultBrowser::takeLinks(&why) : DefaultBrowser::giveLinksBack(&why)))
            Feedback::beep();
        links->setChecked(DefaultBrowser::current() == DefaultBrowser::corvalinkEntry());
        subtitle->setText(linksSubtitle(why));
    });
    return row;
}

QString GeneralTab::linksSubtitle(const QString& problem)
{
    return problem.isEmpty() ? QStringLiteral("Links from other apps open in the account you choose")
                             : QStringLiteral("Could not switch: ") + problem;
}

void GeneralTab::browserChosen(const QString& choice)
{
    Settings::setDefaultBrowser(choice == m_autoTitle ? std::nullopt : std::optional<QString>(choice));
}

void GeneralTab::incognitoChanged(bool on)
{
    Settings::setIncognito(on);
}

void GeneralTab::argsChanged(const QString& text)
{
    Settings::setExtraArgs(text);
}

void GeneralTab::showFolder()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(Store::shared().baseDir()));
}

void GeneralTab::syncChanged(SwitchButton* toggle)
{
    if (toggle->isChecked()) {
        if (!Store::shared().enableSync()) {
            toggle->setChecked(false);
            Feedback::beep();
        }
    } else {
        Store::shared().disableSync();
    }
    if (m_accountsMayHaveChanged)
        m_accountsMayHaveChanged();
}

void GeneralTab::hotkeyChanged(bool on)
{
    Settings::setHotkeyEnabled(on);
    HotKey::shared().setEnabled(Settings::hotkeyEnabled());
}

void GeneralTab::loginChanged(SwitchButton* toggle)
{
    LoginItem::setLaunchAtLogin(toggle->isChecked());
    // Show what the system holds now, so a refused change springs back.
    toggle->setChecked(LoginItem::isEnabled());
}
