#include "WebHelper.h"

#include "Account.h"

#include <QProcess>
#include <QTimer>

namespace {

QList<WebHelper*>& helpers()
{
    static QList<WebHelper*> list;
    return list;
}

} // namespace

WebHelper::WebHelper(const QString& program)
    : m_process(new QProcess(this))
{
    helpers().append(this);
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &WebHelper::readReports);
    connect(m_process, &QProcess::finished, this, [this](int status, QProcess::ExitStatus how) {
        if (how == QProcess::CrashExit || status != 0)
            qWarning("Corvalink: the web windows' helper ended with status %d%s", status,
                     how == QProcess::CrashExit ? " (crashed)" : "");
        finish();
    });
    // A start failure is reported here, never through finished.
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        qWarning("Corvalink: the web windows' helper could not be started: %s", qPrintable(m_process->errorString()));
        finish();
    });
    m_process->start(program, {});
}

WebHelper* WebHelper::forNewWindow(const QString& program)
{
    for (WebHelper* helper : std::as_const(helpers())) {
        if (!helper->m_inputClosed)
            return helper;
    }
    return new WebHelper(program);
}

QList<WebHelper*> WebHelper::all()
{
    return helpers();
}

void WebHelper::openWindow(const QStringList& arguments)
{
    QByteArray line = "window";
    for (const QString& argument : arguments)
        line += ' ' + argument.toUtf8().toPercentEncoding();
    m_process->write(line + '\n');
    ++m_windows;
}

void WebHelper::send(const QByteArray& verb, const QUuid& id, const QByteArray& argument)
{
    if (m_inputClosed)
        return;
    // The argument (a fully encoded link) holds no space or line break to end the line early.
    QByteArray line = verb + ' ' + Account::idText(id).toLatin1();
    if (!argument.isEmpty())
        line += ' ' + argument;
    m_process->write(line + '\n');
}

void WebHelper::readReports()
{
    m_pending += m_process->readAllStandardOutput();
    for (qsizetype end; (end = m_pending.indexOf('\n')) >= 0;) {
        const QList<QByteArray> words = m_pending.left(end).split(' ');
        m_pending.remove(0, end + 1);
        if (words.size() != 2)
            continue;
        const QUuid id = QUuid::fromString(QLatin1String(words.at(1)));
        if (words.first() == "shown")
            Q_EMIT shown(id);
        else if (words.first() == "closed" || words.first() == "refused")
            windowClosed(id);
    }
}

void WebHelper::windowClosed(const QUuid& id)
{
    // The helper ends with its last window: the next window needs a new one.
    if (--m_windows == 0)
        closeAll();
    Q_EMIT closed(id);
}

void WebHelper::closeAll()
{
    if (std::exchange(m_inputClosed, true))
        return;
    m_process->closeWriteChannel();
    QTimer::singleShot(closeGraceMs, this, &WebHelper::stop);
}

void WebHelper::stop()
{
    m_inputClosed = true;
    if (m_process->state() == QProcess::NotRunning)
        return;
    m_process->terminate();
    QTimer::singleShot(stopGraceMs, m_process, &QProcess::kill);
}

// Blocks: for quitting, when no event loop will run again.
bool WebHelper::waitForEnd()
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

void WebHelper::finish()
{
    if (!helpers().removeOne(this))
        return;
    m_inputClosed = true;
    Q_EMIT ended();
    deleteLater();
}
