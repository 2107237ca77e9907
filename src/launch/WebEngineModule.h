#pragma once

#include <QString>
#include <QUrl>
#include <QtPlugin>

class QWidget;

// What the web window needs of the web engine. The engine lives in a module that
// is loaded only when the first web window opens, so the tray app stays small.
class WebEngineModule {
public:
    virtual ~WebEngineModule() = default;

    // A web view whose cookies, storage and cache live in storageDir and belong
    // to the profile of that name alone. The profile outlives its views.
    virtual QWidget* createView(const QString& profileName, const QString& storageDir, QWidget* parent) = 0;
    virtual void load(QWidget* view, const QUrl& url) = 0;
    // Destroys the profile; no view of it may be alive.
    virtual void releaseProfile(const QString& profileName) = 0;
};

#define CorvalinkWebEngineModule_iid "org.corvalink.WebEngineModule/1"
Q_DECLARE_INTERFACE(WebEngineModule, CorvalinkWebEngineModule_iid)
