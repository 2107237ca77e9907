#include "WebFallbackWindow.h"

#include "Paths.h"
#include "Store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QUrl>

namespace {

QHash<QUuid, WebFallbackWindow*>& windows()
{
    static QHash<QUuid, WebFallbackWindow*> table;
    return table;
}

QString helperPath()
{
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {dir + QStringLiteral("/corvalink-web"), dir + QStringLiteral("/../lib/corvalink/corvalink-web")}) {
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    }
    return {};
}

} // namespace

WebFallbackWindow::WebFallbackWindow(const Account& account)
    : m_id(account.id)
    , m_process(new QProcess(this))
{
    connect(m_process, &QProcess::finished, this, [this](int status, QProcess::ExitStatus how) {
        if (how == QProcess::CrashExit || status != 0)
            qWarning("Corvalink: the web window of %s ended with status %d%s", qPrintable(Account::idText(m_id)),
                     status, how == QProcess::CrashExit ? " (crashed)" : "");
        windows().remove(m_id);
        Q_EMIT closed();
        deleteLater();
    });
    start(account);
}

WebFallbackWindow::~WebFallbackWindow()
{
    if (windows().value(m_id) == this)
        windows().remove(m_id);
}

QStringList WebFallbackWindow::helperArguments(const Account& account)
{
    // Every value travels in the "--name=value" form, so none can pass for a switch.
    QStringList arguments{QStringLiteral("--profile=") + account.idText(),
                          QStringLiteral("--storage=") + dataDir(account.id),
                          QStringLiteral("--title=") + account.siteName + QStringLiteral(" \u2013 ") + account.label};
    const QUrl url(account.url, QUrl::StrictMode);
    if (url.isValid() && !url.isRelative())
        arguments << QStringLiteral("--url=") + url.toString(QUrl::FullyEncoded);
    return arguments;
}

void WebFallbackWindow::start(const Account& account)
{
    const QString helper = helperPath();
    if (helper.isEmpty()) {
        qWarning("Corvalink: corvalink-web is not installed, so %s cannot open in a web window",
                 qPrintable(account.idText()));
        QTimer::singleShot(0, this, [this] {
            windows().remove(m_id);
            Q_EMIT closed();
            deleteLater();
        });
        return;
    }
    Paths::makePrivateDir(dataDir(account.id));
    m_process->setProcessChannelMode(QProcess::ForwardedChannels);
    m_process->start(helper, helperArguments(account));
}

void WebFallbackWindow::show(const Account& account)
{
    if (WebFallbackWindow* window = windows().value(account.id)) {
        window->raise();
        return;
    }
    windows().insert(account.id, new WebFallbackWindow(account));
}

const QHash<QUuid, WebFallbackWindow*>& WebFallbackWindow::open()
{
    return windows();
}

void WebFallbackWindow::closeAll()
{
    for (WebFallbackWindow* window : windows())
        window->close();
}

QString WebFallbackWindow::dataDir(const QUuid& id)
{
    return Store::shared().baseDir() + QStringLiteral("/webdata/") + Account::idText(id);
}

void WebFallbackWindow::raise()
{
    m_process->write("raise\n");
}

void WebFallbackWindow::close()
{
    m_process->write("close\n");
}

namespace WKWebsiteDataStoreHelper {

void remove(const QUuid& id, std::function<void(const QString& error)> done)
{
    // A window's process holds the profile; once it has ended, nothing does.
    const QString error =
        windows().contains(id) ? QObject::tr("A web window of this account is still open.") : QString();
    const QString path = WebFallbackWindow::dataDir(id);
    QTimer::singleShot(0, [error, path, done] {
        QString outcome = error;
        if (outcome.isEmpty() && QFileInfo::exists(path) && !QDir(path).removeRecursively())
            outcome = QObject::tr("Could not delete %1.").arg(path);
        if (done)
            done(outcome);
    });
}

} // namespace WKWebsiteDataStoreHelper
