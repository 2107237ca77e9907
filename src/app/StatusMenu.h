#pragma once

#include "StatusMenuContent.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QObject>

#include <functional>

class QAction;
class QKeyEvent;
class QMenu;

// Turns the menu content into QMenu items. While Alt is held in a menu the app
// draws itself, every account item shows its "Remove …" alternate in its place.
class StatusMenu : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void(const MenuEntry&)>;

    StatusMenu(QMenu* menu, Handler onTrigger);

    void populate(const QList<MenuEntry>& entries);
    void showAlternates(bool removing);
    // The rows of the first column when the menu is too tall for one; -1 when it is not.
    qsizetype rowsInFirstColumn() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // An item on screen: the entry it shows, and for an account item its alternate.
    struct Item {
        QAction* action;
        qsizetype entry;
        qsizetype alternate;
    };

    void show(const Item& item, qsizetype entry);
    bool triggerShortcut(const QKeyEvent* key);
    QIcon dot(const std::optional<QString>& color);
    // About forty characters' worth, then "…".
    QString shortened(const QString& title) const;

    QMenu* m_menu;
    Handler m_onTrigger;
    QList<MenuEntry> m_entries;
    QList<Item> m_items;
    // QMenu inserts and removes actions in linear time each, so a rebuild reuses
    // the actions of the last one instead of making thousands anew.
    QList<QAction*> m_pool;
    QHash<QString, QIcon> m_dots;
    bool m_removing = false;
};
