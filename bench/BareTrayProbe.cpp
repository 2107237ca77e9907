// The floor: a bare Qt application with a tray icon, measured like the tray app.
#include <QApplication>
#include <QFile>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>
#include <ctime>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QPixmap pixmap(18, 18);
    pixmap.fill(Qt::darkGray);
    QSystemTrayIcon icon{QIcon(pixmap)};
    icon.show();
    QTimer::singleShot(0, &app, [&] {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        std::printf("event-loop-at-ms %.3f\n", now.tv_sec * 1000.0 + now.tv_nsec / 1e6);
        QTimer::singleShot(1000, &app, [] {
            QFile status(QStringLiteral("/proc/self/status"));
            status.open(QIODevice::ReadOnly);
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("VmRSS:"))
                    std::printf("rss-kib %s\n", line.mid(6).trimmed().split(' ').first().constData());
            }
            QCoreApplication::quit();
        });
    });
    return app.exec();
}
