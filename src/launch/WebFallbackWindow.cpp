#include "WebFallbackWindow.h"

#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QUrl>

namespace {

// How long a window may take to close (its profile writes the cookies out),
// and then to stop once asked to.
constexpr int closeGraceMs = 5000;
constexpr int stopGraceMs = 2000;

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
    , m_process(new QProcess(this))
{
    connect(m_process, &QProcess::started, this, [this] {
        m_started = true;
        Q_EMIT shown();
    });
    connect(m_process, &QProcess::finished, this, [this](int status, QProcess::ExitStatus how) {
        if (how == QProcess::CrashExit || status != 0)
            qWarning("Corvalink: the web window of %s ended with status %d%s", qPrintable(Account::idText(m_id)),
                     status, how == QProcess::CrashExit ? " (crashed)" : "");
        forget(true);
    });
    // A start failure is reported here, never through finished.
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        qWarning("Corvalink: the web window of %s could not be started: %s", qPrintable(Account::idText(m_id)),
                 qPrintable(m_process->errorString()));
        forget(false);
    });
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
    const QUrl url(account.url, QUrl::StrictMode);
    if (url.isValid() && !url.isRelative())
        arguments << QStringLiteral("--url=") + url.toString(QUrl::FullyEncoded);
    return arguments;
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
    const QList<WebFallbackWindow*> all = windows().values();
    for (WebFallbackWindow* window : all)
        window->close();
    for (WebFallbackWindow* window : all) {
        if (!window->waitForEnd())
            qWarning("Corvalink: the web window of %s did not close", qPrintable(Account::idText(window->m_id)));
    }
}

// Blocks: for quitting, when no event loop will run again.
bool WebFallbackWindow::waitForEnd()
{
    if (m_process->state() == QProcess::NotRunning)
        return true;
    if (m_process->waitForFinished(closeGraceMs))
        return true;
    m_process->terminate();
    if (m_process->waitForFinished(stopGraceMs))
        return true;
    m_process->kill();
    return m_process->waitForFinished(stopGraceMs);
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
    if (!m_closing)
        m_process->write("raise\n");
}

void WebFallbackWindow::close()
{
    if (m_closing || m_process->state() == QProcess::NotRunning)
        return;
    m_closing = true;
    // The end of its input closes the helper's window too, should the line be lost.
    m_process->write("close\n");
    m_process->closeWriteChannel();
    QTimer::singleShot(closeGraceMs, m_process, [process = m_process] {
        process->terminate();
        QTimer::singleShot(stopGraceMs, process, &QProcess::kill);
    });
}

namespace WKWebsiteDataStoreHelper {

void remove(const QUuid& id, std::function<void(const QString& error)> done)
{
    // A helper holds the data while it runs; once it has ended, nothing does.
    const auto removeNow = [id, done] {
        QString error;
        for (const QString& path : {WebFallbackWindow::dataDir(id), WebFallbackWindow::engineDir(id)}) {
            if (QFileInfo::exists(path) && !QDir(path).removeRecursively() && error.isEmpty())
                error = QObject::tr("Could not delete %1.").arg(path);
        }
        if (!error.isEmpty())
            qWarning("Corvalink: %s", qPrintable(error));
        if (done)
            done(error);
    };
    if (WebFallbackWindow* window = windows().value(id)) {
        QObject::connect(window, &WebFallbackWindow::closed, window, [removeNow] { QTimer::singleShot(0, removeNow); });
        window->close();
        return;
    }
    QTimer::singleShot(0, removeNow);
}

} // namespace WKWebsiteDataStoreHelper
