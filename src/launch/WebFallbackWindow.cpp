#include "WebFallbackWindow.h"

#include "Paths.h"
#include "Store.h"
#include "WebEngineModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPluginLoader>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QHash<QUuid, WebFallbackWindow*>& windows()
{
    static QHash<QUuid, WebFallbackWindow*> table;
    return table;
}

QStringList moduleCandidates()
{
    const QString dir = QCoreApplication::applicationDirPath();
    return {dir + QStringLiteral("/corvalink-webengine.so"),
            dir + QStringLiteral("/../lib/corvalink/corvalink-webengine.so")};
}

WebEngineModule* loadedModule = nullptr;

WebEngineModule* module()
{
    if (loadedModule)
        return loadedModule;
    for (const QString& path : moduleCandidates()) {
        if (!QFileInfo::exists(path))
            continue;
        QPluginLoader loader(path);
        loadedModule = qobject_cast<WebEngineModule*>(loader.instance());
        if (loadedModule)
            return loadedModule;
        qWarning("Corvalink: cannot load the web engine module %s: %s", qPrintable(path),
                 qPrintable(loader.errorString()));
    }
    return nullptr;
}

QWidget* engineMissingNotice(QWidget* parent)
{
    auto* label = new QLabel(QObject::tr("The web engine is not installed, so this page cannot be shown."), parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

WebFallbackWindow::WebFallbackWindow(const Account& account)
    : m_id(account.id)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(account.siteName + QStringLiteral(" \u2013 ") + account.label);
    resize(1100, 760);

    const QString storage = dataDir(account.id);
    Paths::makePrivateDir(storage);
    WebEngineModule* engine = module();
    QWidget* view = engine ? engine->createView(account.idText(), storage, this) : engineMissingNotice(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    const QUrl url(account.url, QUrl::StrictMode);
    if (engine && url.isValid() && !url.isRelative())
        engine->load(view, url);
}

WebFallbackWindow::~WebFallbackWindow()
{
    if (windows().value(m_id) == this)
        windows().remove(m_id);
}

void WebFallbackWindow::show(const Account& account)
{
    WebFallbackWindow* window = windows().value(account.id);
    if (!window) {
        window = new WebFallbackWindow(account);
        windows().insert(account.id, window);
    }
    window->QWidget::show();
    window->raise();
    window->activateWindow();
}

const QHash<QUuid, WebFallbackWindow*>& WebFallbackWindow::open()
{
    return windows();
}

QString WebFallbackWindow::dataDir(const QUuid& id)
{
    return Store::shared().baseDir() + QStringLiteral("/webdata/") + Account::idText(id);
}

bool WebFallbackWindow::engineLoaded()
{
    return loadedModule != nullptr;
}

namespace WKWebsiteDataStoreHelper {

namespace {

// The engine finishes with a destroyed profile's files on its own threads, and
// can still write into the folder for a moment: try again a few times.
constexpr int removalAttempts = 8;
constexpr int firstRetryMs = 25;

void removeFolder(const QString& path, int attempt, const std::function<void(const QString&)>& finish)
{
    QDir dir(path);
    if (!dir.exists() || (dir.removeRecursively() && !dir.exists())) {
        finish({});
        return;
    }
    if (attempt + 1 >= removalAttempts) {
        finish(QObject::tr("Could not delete %1.").arg(path));
        return;
    }
    QTimer::singleShot(firstRetryMs << attempt, [path, attempt, finish] { removeFolder(path, attempt + 1, finish); });
}

} // namespace

void remove(const QUuid& id, std::function<void(const QString& error)> done)
{
    const auto finish = [done](const QString& error) {
        if (done)
            done(error);
    };
    if (windows().contains(id)) {
        QTimer::singleShot(0, [finish] { finish(QObject::tr("A web window of this account is still open.")); });
        return;
    }
    // No page of the profile is alive now: destroy it, let the engine settle, then delete.
    if (loadedModule)
        loadedModule->releaseProfile(Account::idText(id));
    const QString path = WebFallbackWindow::dataDir(id);
    QTimer::singleShot(0, [path, finish] { removeFolder(path, 0, finish); });
}

} // namespace WKWebsiteDataStoreHelper
