#include "WindowHost.h"

#include "WebWindow.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace {

constexpr QLatin1String lockName("corvalink-web.lock");

// How long a closed window's store may take to be let go of, checked this often.
constexpr int storeCheckMs = 50;
constexpr int storeChecks = 60;

// The engine closes a deleted profile's files on threads of its own, a moment
// later (local storage's database was seen open 50 ms on). Until then the store
// must not be deleted or opened again; Linux tells which files this process holds.
bool storeIsOpen(const QString& storage)
{
    // Paths as the links in /proc show them: resolved. The lock stays ours until the end.
    const QString prefix = QDir(storage).canonicalPath() + QLatin1Char('/');
    const QString lockPath = prefix + lockName;
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    const QStringList entries = descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        const QString target = QFile::symLinkTarget(descriptors.filePath(entry));
        if (prefix.size() > 1 && target.startsWith(prefix) && !target.startsWith(lockPath))
            return true;
    }
    return false;
}

QString lockPathIn(const QString& storage)
{
    return storage + QLatin1Char('/') + lockName;
}

} // namespace

bool WindowHost::parse(const QStringList& arguments, Request* request)
{
    QCommandLineParser parser;
    const QCommandLineOption profile(QStringLiteral("profile"), QStringLiteral("Profile name."), QStringLiteral("id"));
    const QCommandLineOption storage(QStringLiteral("storage"), QStringLiteral("Data folder."), QStringLiteral("dir"));
    const QCommandLineOption title(QStringLiteral("title"), QStringLiteral("Window title."), QStringLiteral("text"));
    const QCommandLineOption url(QStringLiteral("url"), QStringLiteral("Page to load."), QStringLiteral("url"));
    const QCommandLineOption control(QStringLiteral("control"), QStringLiteral("Control socket."),
                                     QStringLiteral("path"));
    parser.addOptions({profile, storage, title, url, control});
    if (!parser.parse(arguments) || !parser.isSet(profile) || !parser.isSet(storage)) {
        std::fprintf(stderr, "corvalink-web: %s\n",
                     qPrintable(parser.errorText().isEmpty() ? QStringLiteral("--profile and --storage are needed")
                                                             : parser.errorText()));
        return false;
    }
    *request = {parser.value(profile), parser.value(storage), parser.value(title), parser.value(url),
                parser.value(control)};
    return true;
}

void WindowHost::open(const Request& request)
{
    if (const auto existing = m_windows.value(request.profile); existing && existing->window) {
        if (!request.url.isEmpty())
            existing->window->load(QUrl(request.url));
        existing->window->bringToFront();
        return;
    }
    auto entry = std::make_shared<Entry>();
    entry->storage = request.storage;
    // One engine per store: a second one on the same folder would corrupt it.
    entry->lock = std::make_unique<QLockFile>(lockPathIn(request.storage));
    if (!entry->lock->tryLock(0)) {
        std::fprintf(stderr, "corvalink-web: another window already uses %s\n", qPrintable(request.storage));
        report("refused", request.profile);
        quitWhenEmpty();
        return;
    }
    auto* window = new WebWindow(request.profile, request.storage);
    window->setWindowTitle(request.title);
    if (!request.url.isEmpty())
        window->load(QUrl(request.url));
    entry->window = window;
    if (!request.control.isEmpty())
        listenOnControlSocket(*entry, request.control);
    m_windows.insert(request.profile, entry);
    connect(window, &QObject::destroyed, this, [this, profile = request.profile] { windowGone(profile); });
    window->bringToFront();
    // Only now may whoever asked for the window say that it is shown.
    QTimer::singleShot(0, this, [profile = request.profile] { report("shown", profile); });
}

// Another Corvalink process (the tray, when a "corvalink --open" run started
// the window) reaches one window here to raise or close it. The socket stays
// until the window's store is closed: its end tells the other process so.
void WindowHost::listenOnControlSocket(Entry& entry, const QString& path)
{
    QLocalServer::removeServer(path);
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(path)) {
        std::fprintf(stderr, "corvalink-web: cannot listen on %s\n", qPrintable(path));
        delete server;
        return;
    }
    entry.control = server;
    connect(server, &QLocalServer::newConnection, server, [server, window = entry.window] {
        while (QLocalSocket* peer = server->nextPendingConnection()) {
            peer->setReadBufferSize(256);
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, peer, [peer, window] {
                if (window)
                    window->handleCommands(peer->read(256));
            });
        }
    });
}

void WindowHost::handleLine(const QByteArray& line)
{
    // left() of a negative size is empty, not the whole text.
    const qsizetype space = line.indexOf(' ');
    const QByteArray verb = space < 0 ? line : line.left(space);
    const QByteArray rest = space < 0 ? QByteArray() : line.mid(space + 1);
    if (verb == "window") {
        // Each argument travels percent-encoded, so none holds a space.
        QStringList arguments{QCoreApplication::applicationFilePath()};
        for (const QByteArray& word : rest.split(' '))
            arguments << QString::fromUtf8(QByteArray::fromPercentEncoding(word));
        if (Request request; parse(arguments, &request))
            open(request);
        return;
    }
    const qsizetype idEnd = rest.indexOf(' ');
    const auto entry = m_windows.value(QString::fromUtf8(idEnd < 0 ? rest : rest.left(idEnd)));
    if (entry && entry->window)
        entry->window->handleCommands(verb + (idEnd < 0 ? QByteArray() : rest.mid(idEnd)));
}

void WindowHost::closeAll()
{
    for (const auto& entry : std::as_const(m_windows)) {
        if (entry->window)
            entry->window->close();
    }
    quitWhenEmpty();
}

void WindowHost::windowGone(const QString& profile)
{
    const auto entry = m_windows.take(profile);
    if (!entry)
        return;
    ++m_closing;
    finishClosing(profile, entry, storeChecks);
}

void WindowHost::finishClosing(const QString& profile, const std::shared_ptr<Entry>& entry, int attemptsLeft)
{
    if (attemptsLeft > 0 && storeIsOpen(entry->storage)) {
        QTimer::singleShot(storeCheckMs, this,
                           [this, profile, entry, attemptsLeft] { finishClosing(profile, entry, attemptsLeft - 1); });
        return;
    }
    if (attemptsLeft == 0)
        std::fprintf(stderr, "corvalink-web: the store of %s is still open\n", qPrintable(profile));
    entry->lock->unlock();
    delete entry->control;
    report("closed", profile);
    --m_closing;
    quitWhenEmpty();
}

void WindowHost::report(const char* what, const QString& profile)
{
    std::printf("%s %s\n", what, qPrintable(profile));
    std::fflush(stdout);
}

void WindowHost::quitWhenEmpty()
{
    if (isEmpty())
        QCoreApplication::quit();
}
