#include "AccountOpener.h"
#include "AppDelegate.h"
#include "CommandLine.h"
#include "SingleInstance.h"
#include "Store.h"
#include "WebFallbackWindow.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

namespace {

// A list that could not be read is not an empty one: say so, and touch nothing.
bool reportUnreadableAccounts()
{
    const Store& store = Store::shared();
    if (store.readError().isEmpty())
        return false;
    QTextStream(stderr) << "corvalink: the accounts file " << store.activeFile()
                        << " could not be read: " << store.readError() << '\n';
    return true;
}

// --list, --help and --version need no display.
int runWithoutDisplay(const CommandLine::Request& request)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (request.mode) {
    case CommandLine::Mode::Help:
        out << CommandLine::helpText();
        return 0;
    case CommandLine::Mode::Version:
        out << "Corvalink " << CORVALINK_VERSION << '\n';
        return 0;
    case CommandLine::Mode::List:
        if (reportUnreadableAccounts())
            return 2;
        out << CommandLine::listing(Store::shared().accounts());
        return 0;
    default:
        err << "corvalink: --open needs an account id or label\n" << CommandLine::helpText();
        return 2;
    }
}

int openFromCommandLine(QApplication& app, const QString& key)
{
    if (reportUnreadableAccounts())
        return 2;
    const auto lookup = CommandLine::find(Store::shared().accounts(), key);
    if (!lookup.account) {
        QTextStream(stderr) << "corvalink: " << lookup.error << '\n';
        return 2;
    }
    if (AccountOpener::open(*lookup.account) == AccountOpener::Outcome::Browser)
        return 0;
    // The in-app web window is open: live until it is closed.
    WebFallbackWindow* window = WebFallbackWindow::open().value(lookup.account->id);
    if (!window)
        return 1;
    QObject::connect(window, &WebFallbackWindow::closed, &app, &QCoreApplication::quit);
    return app.exec();
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine::Request request = CommandLine::parse(arguments);
    if (request.mode != CommandLine::Mode::Tray && request.mode != CommandLine::Mode::Open) {
        QCoreApplication core(argc, argv);
        return runWithoutDisplay(request);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvalink"));
    QApplication::setApplicationVersion(QStringLiteral(CORVALINK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("corvalink"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/corvalink.svg")));
    QApplication::setQuitOnLastWindowClosed(false);

    if (request.mode == CommandLine::Mode::Open)
        return openFromCommandLine(app, request.key);

    // A snapshot run renders and quits; it never stands in for the running instance.
    SingleInstance instance;
    if (!CommandLine::snapshotFolder(arguments) && !instance.becomePrimary(arguments))
        return 0;

    // Web windows are processes of their own: they go when the app goes.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] { WebFallbackWindow::closeAll(); });
    AppDelegate delegate;
    QObject::connect(&instance, &SingleInstance::argumentsReceived, &delegate, &AppDelegate::handleArguments);
    QTimer::singleShot(0, &delegate, [&delegate, arguments] {
        if (!delegate.applicationDidFinishLaunching(arguments))
            QCoreApplication::quit();
    });
    return app.exec();
}
