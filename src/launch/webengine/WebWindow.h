#pragma once

#include <QWidget>

class QWebEngineProfile;
class QWebEngineView;

// The web window itself, in the helper process: one page whose cookies, storage
// and cache live in the account's own folder.
class WebWindow : public QWidget {
    Q_OBJECT

public:
    WebWindow(const QString& profileName, const QString& storageDir);
    ~WebWindow() override;

    void load(const QUrl& url);
    void bringToFront();

private:
    QWebEngineProfile* m_profile;
    QWebEngineView* m_view;
};
