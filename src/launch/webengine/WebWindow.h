#pragma once

#include <QWidget>

class QWebEngineProfile;
class QWebEngineView;

// One account's web window, in the helper process: one page whose cookies,
// storage and cache live in the account's own folder, through a profile of
// its own. Deleted when closed; the profile goes with it.
class WebWindow : public QWidget {
    Q_OBJECT

public:
    WebWindow(const QString& profileName, const QString& storageDir);
    ~WebWindow() override;

    void load(const QUrl& url);
    void bringToFront();
    // Acts on "raise", "open URL" and "close", one per line.
    void handleCommands(const QByteArray& commands);

private:
    QWebEngineProfile* m_profile;
    QWebEngineView* m_view;
};
