#pragma once

#include <QList>
#include <QWidget>

class PageViewController;
class QToolButton;

// The settings window: a row of icon-over-title tab buttons above the page of
// the selected tab. Closing it only hides it; it fits itself around its page.
class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    SettingsWindow();

    void addTab(const QString& title, const QString& symbol, PageViewController* page);
    void selectTab(int index);
    int currentTab() const { return m_current; }
    int tabCount() const { return int(m_pages.size()); }
    PageViewController* page(int index) const { return m_pages.value(index); }
    QToolButton* tabButton(int index) const { return m_buttons.value(index); }

    // Re-tints the tab symbols after a palette change.
    void refreshSymbols();

    void fitToPage();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void keepOnScreen();

    QWidget* m_toolbar;
    QList<PageViewController*> m_pages;
    QList<QToolButton*> m_buttons;
    QStringList m_symbols;
    int m_current = -1;
    bool m_placed = false;
};
