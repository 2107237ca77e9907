#include "StatusMenu.h"

#include "AccountColor.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>

namespace {
constexpr qreal dotDiameter = 9;
}

StatusMenu::StatusMenu(QMenu* menu, Handler onTrigger)
    : QObject(menu)
    , m_menu(menu)
    , m_onTrigger(std::move(onTrigger))
{
    m_menu->installEventFilter(this);
    connect(m_menu, &QMenu::aboutToShow, this,
            [this] { showAlternates(QGuiApplication::queryKeyboardModifiers().testFlag(Qt::AltModifier)); });
}

void StatusMenu::populate(const QList<MenuEntry>& entries)
{
    m_menu->clear();
    m_pairs.clear();
    QAction* lastAccount = nullptr;
    for (const MenuEntry& entry : entries) {
        QAction* action = addEntry(entry);
        if (entry.kind == MenuEntry::Kind::Account)
            lastAccount = action;
        else if (entry.kind == MenuEntry::Kind::RemoveAlternate && lastAccount)
            m_pairs.append(qMakePair(lastAccount, action));
    }
    showAlternates(m_removing);
}

QAction* StatusMenu::addEntry(const MenuEntry& entry)
{
    if (entry.kind == MenuEntry::Kind::Separator)
        return m_menu->addSeparator();
    QAction* action = m_menu->addAction(entry.title);
    action->setEnabled(entry.enabled);
    action->setShortcut(entry.shortcut);
    action->setProperty("indentation", entry.indentation);
    if (entry.kind == MenuEntry::Kind::Account && entry.account)
        action->setIcon(AccountColor::dot(entry.account->color, dotDiameter));
    if (entry.enabled)
        connect(action, &QAction::triggered, this, [this, entry] { m_onTrigger(entry); });
    return action;
}

void StatusMenu::showAlternates(bool removing)
{
    m_removing = removing;
    for (const auto& [account, alternate] : std::as_const(m_pairs)) {
        account->setVisible(!removing);
        alternate->setVisible(removing);
    }
}

bool StatusMenu::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_menu && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Alt) {
            showAlternates(event->type() == QEvent::KeyPress);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
