#include "StatusMenu.h"

#include "AccountColor.h"
#include "UI.h"

#include <QApplication>

#include <QKeyEvent>
#include <QMenu>

namespace {
constexpr qreal dotDiameter = 9;
constexpr int indentSpaces = 3;
// Labels and site names longer than this many average characters end in "…".
constexpr int longestText = 40;
} // namespace

StatusMenu::StatusMenu(QMenu* menu, Handler onTrigger)
    : QObject(menu)
    , m_menu(menu)
    , m_onTrigger(std::move(onTrigger))
{
    m_menu->installEventFilter(this);
    // Site headers and hints are disabled items, which most styles draw too pale
    // to read: they get the settings window's secondary text colour.
    UI::followPalette(m_menu, [](QWidget* target) {
        QPalette palette = QApplication::palette(target);
        const QColor readable = UI::secondaryColor(palette);
        for (const auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
            palette.setColor(QPalette::Disabled, role, readable);
        target->setPalette(palette);
    });
    // A shortened text shows whole in the item's tooltip.
    m_menu->setToolTipsVisible(true);
    // Only a press of Alt in the open menu shows the alternates: Alt may still be
    // down from Control+Alt+S, and its release may come before the menu has the keyboard.
    connect(m_menu, &QMenu::aboutToShow, this, [this] { showAlternates(false); });
    connect(m_menu, &QMenu::triggered, this, [this](QAction* action) {
        const qsizetype entry = action->data().toLongLong();
        if (entry >= 0 && entry < m_entries.size() && m_entries.at(entry).enabled)
            m_onTrigger(m_entries.at(entry));
    });
}

QIcon StatusMenu::dot(const std::optional<QString>& color)
{
    // Accounts without a colour keep the indent of those with one.
    const QString key = color.value_or(QString());
    auto it = m_dots.find(key);
    if (it == m_dots.end())
        it = m_dots.insert(key, AccountColor::dotOrSpace(color, dotDiameter));
    return *it;
}

QString StatusMenu::shortened(const QString& title) const
{
    // Measuring every title would cost more than the rest of a rebuild: only
    // those longer than the limit in characters are.
    if (title.size() <= longestText)
        return title;
    const QFontMetrics metrics(m_menu->font());
    return metrics.elidedText(title, Qt::ElideRight, longestText * metrics.averageCharWidth());
}

qsizetype StatusMenu::rowsInFirstColumn() const
{
    qsizetype rows = 0;
    int firstColumn = -1;
    for (const Item& item : m_items) {
        const int x = m_menu->actionGeometry(item.action).x();
        if (firstColumn >= 0 && x != firstColumn)
            return rows;
        firstColumn = x;
        ++rows;
    }
    return -1;
}

void StatusMenu::populate(const QList<MenuEntry>& entries)
{
    m_entries = entries;
    m_items.clear();
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const MenuEntry& entry = m_entries.at(i);
        if (entry.kind == MenuEntry::Kind::RemoveAlternate) {
            // Shown by its account item's action.
            if (!m_items.isEmpty() && m_entries.at(m_items.last().entry).kind == MenuEntry::Kind::Account)
                m_items.last().alternate = i;
            continue;
        }
        if (m_items.size() == m_pool.size())
            m_pool.append(m_menu->addAction(QString()));
        m_items.append({m_pool.at(m_items.size()), i, -1});
    }
    for (qsizetype i = m_items.size(); i < m_pool.size(); ++i)
        m_pool.at(i)->setVisible(false);
    for (const Item& item : std::as_const(m_items))
        show(item, item.entry);
    showAlternates(m_removing);
}

void StatusMenu::show(const Item& item, qsizetype index)
{
    const MenuEntry& entry = m_entries.at(index);
    QAction* action = item.action;
    action->setSeparator(entry.kind == MenuEntry::Kind::Separator);
    // Titles hold user text: "&" must show as itself, not mark a mnemonic.
    const QString shown = shortened(entry.title);
    action->setText(QString(entry.indentation * indentSpaces, QLatin1Char(' ')) +
                    QString(shown).replace(QLatin1Char('&'), QStringLiteral("&&")));
    action->setToolTip(shown == entry.title ? QString() : entry.title);
    // Site headers read as section titles, not as disabled accounts.
    // Pooled actions keep their font from the last rebuild: change it only when needed.
    const bool header = entry.kind == MenuEntry::Kind::Header;
    if (action->font().bold() != header) {
        QFont font = m_menu->font();
        font.setBold(header);
        action->setFont(font);
    }
    action->setEnabled(entry.enabled);
    action->setShortcut(entry.shortcut);
    action->setIcon(entry.kind == MenuEntry::Kind::Account && entry.account ? dot(entry.account->color) : QIcon());
    action->setData(index);
    action->setVisible(true);
}

void StatusMenu::showAlternates(bool removing)
{
    m_removing = removing;
    for (const Item& item : std::as_const(m_items)) {
        if (item.alternate >= 0)
            show(item, removing ? item.alternate : item.entry);
    }
}

// Actions of a popup menu have no shortcut context: the keys drawn beside the
// items are matched here while the menu is open.
bool StatusMenu::triggerShortcut(const QKeyEvent* key)
{
    const QKeySequence pressed(key->keyCombination());
    for (const Item& item : std::as_const(m_items)) {
        const MenuEntry& entry = m_entries.at(item.entry);
        if (entry.enabled && !entry.shortcut.isEmpty() && entry.shortcut == pressed) {
            m_menu->close();
            m_onTrigger(entry);
            return true;
        }
    }
    return false;
}

bool StatusMenu::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_menu && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (event->type() == QEvent::KeyPress && (key->modifiers() & Qt::ControlModifier) && triggerShortcut(key))
            return true;
        if (key->key() == Qt::Key_Alt) {
            showAlternates(event->type() == QEvent::KeyPress);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
