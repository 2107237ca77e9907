#pragma once

#include "WebEngineModule.h"

#include <QHash>
#include <QObject>

class QWebEngineProfile;

class WebEnginePlugin : public QObject, public WebEngineModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CorvalinkWebEngineModule_iid)
    Q_INTERFACES(WebEngineModule)

public:
    QWidget* createView(const QString& profileName, const QString& storageDir, QWidget* parent) override;
    void load(QWidget* view, const QUrl& url) override;
    void releaseProfile(const QString& profileName) override;

private:
    QWebEngineProfile* profile(const QString& name, const QString& storageDir);

    QHash<QString, QWebEngineProfile*> m_profiles;
};
