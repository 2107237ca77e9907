// corvalink-web: shows one account's in-app web window. The tray app starts one
// per open window, so that it never carries the web engine itself. Commands, one
// per line, on standard input and on the control socket: "raise", "open URL" and "close";
// the end of the input closes the window as well. It prints "shown" once the
// window is on screen.
#include "WebWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <unistd.h>

namespace {

void handleCommands(const QByteArray& commands, WebWindow* window)
{
    if (commands.contains("close")) {
        window->close();
        return;
    }
    // "open URL": a link handed to this account while its window is open.
    for (const QByteArray& line : commands.split('\n')) {
        const QUrl link =
            line.startsWith("open ") ? QUrl::fromEncoded(line.mid(5).trimmed(), QUrl::StrictMode) : QUrl();
        if (link.isValid() && (link.scheme() == QLatin1String("http") || link.scheme() == QLatin1String("https")))
            window->load(link);
    }
    if (commands.contains("raise") || commands.contains("open "))
        window->bringToFront();
}

// Another Corvalink process (the tray, when a "corvalink --open" run started
// this window) reaches the window here to raise or close it.
void listenOnControlSocket(const QString& path, WebWindow* window)
{
    QLocalServer::removeServer(path);
    auto* server = new QLocalServer(window);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(path)) {
        std::fprintf(stderr, "corvalink-web: cannot listen on %s\n", qPrintable(path));
        return;
    }
    QObject::connect(server, &QLocalServer::newConnection, window, [server, window] {
        while (QLocalSocket* peer = server->nextPendingConnection()) {
            peer->setReadBufferSize(256);
            QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            QObject::connect(peer, &QLocalSocket::readyRead, window,
                             [peer, window] { handleCommands(peer->read(256), window); });
        }
    });
}

void listenForCommands(WebWindow* window)
{
    auto* notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window, notifier] {
        char buffer[256];
        const ssize_t size = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (size <= 0) {
            // The tray app is gone (it quit, crashed or was killed): nothing could
            // close this window or tell a later one that this store is live, so it
            // closes now, and its profile writes its cookies out as it goes.
            notifier->setEnabled(false);
            window->close();
            return;
        }
        handleCommands(QByteArray(buffer, size), window);
    });
}

} // namespace

int main(int argc, char** argv)
{
    // The web engine renders through shared OpenGL contexts.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Give the window a GPU-composited surface from the start. Otherwise Qt
    // drops the shown window and makes it again once the web view's renderer
    // arrives: a visible flash, and a different window for the desktop.
    qputenv("QT_WIDGETS_RHI", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvalink"));
    QApplication::setDesktopFileName(QStringLiteral(CORVALINK_APP_ID));

    QCommandLineParser parser;
    const QCommandLineOption profile(QStringLiteral("profile"), QStringLiteral("Profile name."), QStringLiteral("id"));
    const QCommandLineOption storage(QStringLiteral("storage"), QStringLiteral("Data folder."), QStringLiteral("dir"));
    const QCommandLineOption title(QStringLiteral("title"), QStringLiteral("Window title."), QStringLiteral("text"));
    const QCommandLineOption url(QStringLiteral("url"), QStringLiteral("Page to load."), QStringLiteral("url"));
    const QCommandLineOption control(QStringLiteral("control"), QStringLiteral("Control socket."),
                                     QStringLiteral("path"));
    parser.addOptions({profile, storage, title, url, control});
    parser.process(app);
    if (!parser.isSet(profile) || !parser.isSet(storage))
        parser.showHelp(2);

    // One engine per store: a second helper on the same folder would corrupt it.
    QLockFile lock(parser.value(storage) + QStringLiteral("/corvalink-web.lock"));
    if (!lock.tryLock(0)) {
        std::fprintf(stderr, "corvalink-web: another window already uses %s\n", qPrintable(parser.value(storage)));
        return 3;
    }

    WebWindow window(parser.value(profile), parser.value(storage));
    window.setWindowTitle(parser.value(title));
    if (parser.isSet(url))
        window.load(QUrl(parser.value(url)));
    listenForCommands(&window);
    if (parser.isSet(control))
        listenOnControlSocket(parser.value(control), &window);
    window.bringToFront();
    // Only now may whoever asked for the window say that it is shown.
    QTimer::singleShot(0, &window, [] {
        std::puts("shown");
        std::fflush(stdout);
    });
    return app.exec();
}
