#pragma once

#include <QList>
#include <QString>

#include <functional>

class QWidget;
class SwitchButton;

// The General tab: default browser, incognito, extra browser flags, the data
// folder, iCloud Drive sync, the shortcut, links and start at login. It holds no state:
// every build reads the preferences and the system afresh.
class GeneralTab {
public:
    // accountsMayHaveChanged runs after sync is switched, which can change the list.
    GeneralTab(QString autoTitle, std::function<void()> accountsMayHaveChanged);

    QList<QWidget*> sections();

    void incognitoChanged(bool on);
    void argsChanged(const QString& text);
    static void showFolder();
    void syncChanged(SwitchButton* toggle);
    void hotkeyChanged(bool on);
    void loginChanged(SwitchButton* toggle);
    void browserChosen(const QString& choice);

private:
    QWidget* browserSection();
    QWidget* advancedSection();
    QWidget* syncSection();
    QWidget* systemSection();
    static QWidget* linksRow();
    static QString linksSubtitle(const QString& problem);

    const QString m_autoTitle;
    const std::function<void()> m_accountsMayHaveChanged;
};
