#pragma once

#include "StatusMenuContent.h"

#include <QList>
#include <QObject>
#include <QPair>

#include <functional>

class QAction;
class QMenu;

// Turns the menu content into QMenu items. While Alt is held in a menu the app
// draws itself, every account item gives its place to its "Remove …" alternate.
class StatusMenu : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void(const MenuEntry&)>;

    StatusMenu(QMenu* menu, Handler onTrigger);

    void populate(const QList<MenuEntry>& entries);
    void showAlternates(bool removing);
    bool showingAlternates() const { return m_removing; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addEntry(const MenuEntry& entry);

    QMenu* m_menu;
    Handler m_onTrigger;
    // Each account item with its alternate.
    QList<QPair<QAction*, QAction*>> m_pairs;
    bool m_removing = false;
};
