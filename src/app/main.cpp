#include "AppDelegate.h"
#include "CommandLine.h"
#include "OpenRequest.h"
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

int report(const SingleInstance::Answer& answer)
{
    if (!answer.message.isEmpty())
        QTextStream(stderr) << "corvalink: " << CommandLine::printable(answer.message) << '\n';
    return answer.status;
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
        if (request.key.isEmpty())
            err << "corvalink: --open needs an account id or label\n";
        else
            err << "corvalink: unknown option " << request.key << '\n';
        err << CommandLine::helpText();
        return 2;
    }
}

// One process writes the accounts file and one window shows an account: the
// running instance's. Without one, this run opens the account itself and, for a
// web window, lives as long as the window.
int openFromCommandLine(QCoreApplication& app, const CommandLine::Request& request)
{
    QStringList handed{QCoreApplication::applicationFilePath(), QStringLiteral("--open"), request.key};
    if (!request.link.isEmpty())
        handed << request.link;
    if (const auto answer = SingleInstance::handOver(handed))
        return report(*answer);
    std::optional<SingleInstance::Answer> result;
    OpenRequest::run(request.key, request.link, [&](const SingleInstance::Answer& answer) {
        result = answer;
        QCoreApplication::exit(answer.status);
    });
    if (!result)
        app.exec();
    if (result->status != 0 || WebFallbackWindow::open().isEmpty())
        return report(*result);
    // The web window's helper closes when this process ends: stay while it is open.
    QObject::connect(*WebFallbackWindow::open().cbegin(), &WebFallbackWindow::closed, &app,
                     [] { QCoreApplication::exit(0); });
    return app.exec();
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine::Request request = CommandLine::parse(arguments);
    if (request.mode == CommandLine::Mode::Menu) {
        QCoreApplication core(argc, argv);
        if (const auto answer = SingleInstance::handOver(arguments))
            return report(*answer);
        return report({1, QStringLiteral("Corvalink is not running; start it first.")});
    }
    // A link is hostile input: refused before anything else sees it.
    const bool hasLink = request.mode == CommandLine::Mode::Link || !request.link.isEmpty();
    if (hasLink && !CommandLine::acceptedLink(request.link))
        return report({2, CommandLine::linkRefusal});
    // Opening needs no display of its own: a browser or a web window helper shows the account.
    if (request.mode == CommandLine::Mode::Open) {
        QCoreApplication core(argc, argv);
        return openFromCommandLine(core, request);
    }
    // A link goes to the running Corvalink; without one, this run becomes it.
    if (request.mode == CommandLine::Mode::Link) {
        QCoreApplication core(argc, argv);
        if (const auto answer = SingleInstance::handOver(arguments))
            return report(*answer);
    }
    if (request.mode != CommandLine::Mode::Tray && request.mode != CommandLine::Mode::Link) {
        QCoreApplication core(argc, argv);
        return runWithoutDisplay(request);
    }

    QApplication app(argc, argv);
    AppDelegate::setUpApplication();

    // A snapshot run renders and quits; it never stands in for the running instance.
    SingleInstance instance;
    if (!CommandLine::snapshotFolder(arguments) && !instance.becomePrimary(arguments))
        return 0;

    // Web windows are processes of their own: they go when the app goes.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] { WebFallbackWindow::closeAll(); });
    AppDelegate delegate;
    instance.setHandler([&delegate](const QStringList& handed, const SingleInstance::Reply& reply) {
        delegate.handleArguments(handed, reply);
    });
    QTimer::singleShot(0, &delegate, [&delegate, arguments] {
        if (!delegate.applicationDidFinishLaunching(arguments))
            QCoreApplication::quit();
    });
    return app.exec();
}
