// The tray app's start-up as main() does it, measured: the wall-clock moment the
// event loop first turns (the runner knows when it started the process), and
// resident memory once idle.
#include "AppDelegate.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <ctime>

#ifdef WITH_WEBENGINE
#include <QWebEngineProfile>
#endif

namespace {

// Wall-clock milliseconds; the runner subtracts the moment it started the probe.
double wallClockMs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
#ifdef WITH_WEBENGINE
    // Keeps the web engine linked in, as an eagerly linked build would have it.
    volatile auto keep = &QWebEngineProfile::staticMetaObject;
    (void)keep;
#endif
#ifdef WITH_WEBENGINE
    // An app that carries the web engine itself must set this before it starts.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
    QApplication app(argc, argv);
    AppDelegate::setUpApplication();
    SingleInstance instance;
    instance.becomePrimary(app.arguments());
    AppDelegate delegate;
    QTimer::singleShot(0, &delegate, [&] {
        delegate.applicationDidFinishLaunching(app.arguments());
        std::printf("event-loop-at-ms %.3f\n", wallClockMs());
        QTimer::singleShot(1000, &app, [] {
            std::printf("rss-kib %ld\n", residentKiB());
            QCoreApplication::quit();
        });
    });
    return app.exec();
}
