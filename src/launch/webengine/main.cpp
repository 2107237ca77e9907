// corvalink-web: hosts the in-app web windows of one Corvalink process, so that
// the tray app never carries the web engine itself. Started with a window's
// arguments, or with none; then, one per line on standard input: "window ARGS…"
// (each argument percent-encoded), "raise ID", "open ID URL", "close ID". The
// end of the input closes every window. It ends when its last window has closed.
#include "WindowHost.h"

#include <QApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>

namespace {

// Longer than any command the tray sends (a link is at most 32 KiB, three times that encoded).
constexpr qsizetype maxLine = 256 * 1024;

void listenForCommands(WindowHost* host)
{
    auto* notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, host);
    auto pending = std::make_shared<QByteArray>();
    QObject::connect(notifier, &QSocketNotifier::activated, host, [host, notifier, pending] {
        char chunk[4096];
        const ssize_t size = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (size < 0 && errno == EINTR)
            return;
        if (size <= 0) {
            // The tray app is gone (it quit, crashed or was killed): nothing could
            // close these windows or tell a later one that their stores are live,
            // so they close now, and their profiles write their cookies out.
            notifier->setEnabled(false);
            host->closeAll();
            return;
        }
        pending->append(chunk, size);
        for (qsizetype end; (end = pending->indexOf('\n')) >= 0;) {
            const QByteArray line = pending->left(end);
            pending->remove(0, end + 1);
            host->handleLine(line);
        }
        if (pending->size() > maxLine)
            pending->clear();
    });
}

} // namespace

int main(int argc, char** argv)
{
    // The web engine asks for shared OpenGL contexts, whatever it renders with.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Login pages need no GPU. Rendered in software, the windows leave the GL
    // stack's memory out (90 of 230 MiB with three windows on Mesa's software
    // GL) and need no window surface of their own, so none is made again once
    // the page arrives.
    qputenv("QT_QUICK_BACKEND", "software");
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + (flags.isEmpty() ? "" : " ") + "--disable-gpu");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvalink"));
    QApplication::setDesktopFileName(QStringLiteral(CORVALINK_APP_ID));
    // The host decides: a window may close while the next one is on its way.
    QApplication::setQuitOnLastWindowClosed(false);

    WindowHost host;
    listenForCommands(&host);
    if (app.arguments().size() > 1) {
        WindowHost::Request first;
        if (!WindowHost::parse(app.arguments(), &first))
            return 2;
        host.open(first);
        if (host.isEmpty())
            return 3;
    }
    return app.exec();
}
