#include "WebEnginePlugin.h"

#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

QWebEngineProfile* WebEnginePlugin::profile(const QString& name, const QString& storageDir)
{
    if (QWebEngineProfile* existing = m_profiles.value(name))
        return existing;
    // Storage and cache must be set before the first page of the profile exists.
    auto* profile = new QWebEngineProfile(name, this);
    profile->setPersistentStoragePath(storageDir);
    profile->setCachePath(storageDir + QStringLiteral("/cache"));
    // Logins often use session cookies; keep them so a login survives a restart.
    profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    m_profiles.insert(name, profile);
    return profile;
}

QWidget* WebEnginePlugin::createView(const QString& profileName, const QString& storageDir, QWidget* parent)
{
    auto* view = new QWebEngineView(parent);
    view->setPage(new QWebEnginePage(profile(profileName, storageDir), view));
    return view;
}

void WebEnginePlugin::load(QWidget* view, const QUrl& url)
{
    if (auto* webView = qobject_cast<QWebEngineView*>(view))
        webView->load(url);
}

void WebEnginePlugin::releaseProfile(const QString& profileName)
{
    delete m_profiles.take(profileName);
}
