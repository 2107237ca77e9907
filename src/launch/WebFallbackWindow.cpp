#include "WebFallbackWindow.h"

#include "LocalSocket.h"
#include "Paths.h"
#include "WebHelper.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

namespace {

// How long another process's helper may take to take a command.
constexpr int commandTimeoutMs = 1000;

QHash<QUuid, WebFallbackWindow*>& windows()
{
    static QHash<QUuid, WebFallbackWindow*> table;
    return table;
}

QString helperPath()
{
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {dir + QStringLiteral("/corvalink-web"), dir + QStringLiteral("/../" CORVALINK_HELPER_DIR "/corvalink-web")}) {
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    }
    return {};
}

} // namespace

WebFallbackWindow::WebFallbackWindow(const Account& account)
    : m_id(account.id)
{
    start(account);
}

WebFallbackWindow::~WebFallbackWindow()
{
    if (windows().value(m_id) == this)
        windows().remove(m_id);
}

void WebFallbackWindow::forget(bool wasShown)
{
    if (windows().value(m_id) != this)
        return;
    windows().remove(m_id);
    Q_EMIT closed(wasShown && m_started);
    deleteLater();
}

QStringList WebFallbackWindow::helperArguments(const Account& account)
{
    // Every value travels in the "--name=value" form, so none can pass for a switch.
    QStringList arguments{QStringLiteral("--profile=") + account.idText(),
                          QStringLiteral("--storage=") + dataDir(account.id),
                          QStringLiteral("--title=") + account.displayName()};
    if (const QString control = controlSocket(account.id); !control.isEmpty())
        arguments << QStringLiteral("--control=") + control;
    const QUrl url(account.url, QUrl::StrictMode);
    if (url.isValid() && !url.isRelative())
        arguments << QStringLiteral("--url=") + url.toString(QUrl::FullyEncoded);
    return arguments;
}

QString WebFallbackWindow::controlSocket(const QUuid& id)
{
    const QString folder = Paths::runtimeFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/corvalink-web-") + Account::idText(id);
}

bool WebFallbackWindow::raiseElsewhere(const QUuid& id)
{
    const auto helper = LocalSocket::connectTo(controlSocket(id));
    return helper && helper->writeAll("raise\n", commandTimeoutMs);
}

void WebFallbackWindow::start(const Account& account)
{
    const QString helper = helperPath();
    const QString data = dataDir(account.id);
    QString problem;
    if (helper.isEmpty())
        problem = QStringLiteral("corvalink-web is not installed");
    else if (!Paths::makePrivateDir(QFileInfo(data).path()) || !Paths::makePrivateDir(data))
        problem = QStringLiteral("its web data folder %1 cannot be made private and writable").arg(data);
    if (!problem.isEmpty()) {
        qWarning("Corvalink: %s cannot open in a web window: %s", qPrintable(account.idText()), qPrintable(problem));
        QTimer::singleShot(0, this, [this] { forget(false); });
        return;
    }
    m_helper = WebHelper::forNewWindow(helper);
    // Started is not shown: only the helper knows when the window is up.
    connect(m_helper, &WebHelper::shown, this, [this](const QUuid& id) {
        if (id == m_id && !std::exchange(m_started, true))
            Q_EMIT shown();
    });
    connect(m_helper, &WebHelper::closed, this, [this](const QUuid& id) {
        if (id == m_id)
            forget(true);
    });
    connect(m_helper, &WebHelper::ended, this, [this] { forget(true); });
    m_helper->openWindow(helperArguments(account));
}

void WebFallbackWindow::show(const Account& account)
{
    if (WebFallbackWindow* window = windows().value(account.id)) {
        window->raise();
        return;
    }
    if (raiseElsewhere(account.id))
        return;
    windows().insert(account.id, new WebFallbackWindow(account));
}

const QHash<QUuid, WebFallbackWindow*>& WebFallbackWindow::open()
{
    return windows();
}

void WebFallbackWindow::closeAll()
{
    const QList<WebHelper*> helpers = WebHelper::all();
    for (WebHelper* helper : helpers)
        helper->closeAll();
    for (WebHelper* helper : helpers) {
        if (!helper->waitForEnd())
            qWarning("Corvalink: the web windows' helper did not end");
    }
}

QString WebFallbackWindow::dataDir(const QUuid& id)
{
    return Paths::webDataFolder(id);
}

QString WebFallbackWindow::engineDir(const QUuid& id)
{
    return Paths::webEngineFolder(id);
}

void WebFallbackWindow::raise()
{
    if (!m_closing && m_helper)
        m_helper->send("raise", m_id);
}

void WebFallbackWindow::load(const QUrl& link)
{
    // Fully encoded, the link holds no space or line break to end the command early.
    if (!m_closing && m_helper)
        m_helper->send("open", m_id, link.toEncoded(QUrl::FullyEncoded));
}

void WebFallbackWindow::showLink(const Account& account, const QUrl& link)
{
    if (WebFallbackWindow* window = windows().value(account.id)) {
        window->load(link);
        window->raise();
        return;
    }
    Account withLink = account;
    withLink.url = link.toString(QUrl::FullyEncoded);
    show(withLink);
}

void WebFallbackWindow::close()
{
    if (m_closing || !m_helper)
        return;
    m_closing = true;
    m_helper->send("close", m_id);
    // A window that does not close in time means a helper that no longer
    // answers: it is stopped, with whatever else it shows.
    QTimer::singleShot(WebHelper::closeGraceMs, this, [this] {
        qWarning("Corvalink: the web window of %s did not close", qPrintable(Account::idText(m_id)));
        if (m_helper)
            m_helper->stop();
    });
}

namespace WKWebsiteDataStoreHelper {

namespace {

// A helper that another process started: asked to close over its control
// socket, which goes once the window's store is closed.
void closeElsewhereThen(const QUuid& id, const std::function<void()>& removeNow,
                        const std::function<void(const QString&)>& refuse)
{
    LocalSocket* helper = LocalSocket::connectTo(WebFallbackWindow::controlSocket(id)).release();
    if (!helper) {
        QTimer::singleShot(0, removeNow);
        return;
    }
    QTimer::singleShot(WebHelper::closeGraceMs + WebHelper::stopGraceMs, helper, [helper, refuse] {
        helper->deleteLater();
        refuse(QObject::tr("its web window did not close"));
    });
    QObject::connect(helper, &LocalSocket::disconnected, helper, [helper, removeNow] {
        helper->deleteLater();
        QTimer::singleShot(0, removeNow);
    });
    helper->send("close\n");
}

} // namespace

void remove(const QUuid& id, std::function<void(const QString& error)> done)
{
    const auto finish = [id, done](const QString& error) {
        if (!error.isEmpty())
            qWarning("Corvalink: the web data of %s is kept: %s", qPrintable(Account::idText(id)), qPrintable(error));
        if (done)
            done(error);
    };
    // The helper holds the data while the window is open; once it has reported
    // the store closed, or ended, nothing does.
    const auto removeNow = [id, finish] {
        QString error;
        const QString base = Paths::dataFolder();
        for (const QString& path : {WebFallbackWindow::dataDir(id), WebFallbackWindow::engineDir(id)}) {
            QString problem;
            if (!Paths::removeOwnFolder(path, base, &problem) && error.isEmpty())
                error = problem;
        }
        finish(error);
    };
    if (WebFallbackWindow* window = windows().value(id)) {
        QObject::connect(window, &WebFallbackWindow::closed, window, [removeNow] { QTimer::singleShot(0, removeNow); });
        window->close();
        return;
    }
    closeElsewhereThen(id, removeNow, finish);
}

} // namespace WKWebsiteDataStoreHelper
