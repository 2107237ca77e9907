#pragma once

#include "AccountsFile.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Every test process gets its own HOME and XDG folders, removed when it ends,
// so no test ever touches the user's files or another test's.
namespace TestEnvironment {

void isolate();
QString home();

// Writes bytes to a file, creating its folder.
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// rwx for others and the group: what a private folder must not have.
bool isPrivate(const QString& path);

// Scripts named like browsers that write their arguments, one per line, to
// <folder>/<name>.args, then mark the file complete. Returns the folder.
QString makeFakeBrowsers(const QStringList& executables, const QString& folder = {});
// The arguments a fake browser recorded, once complete (empty after the
// timeout); the files are removed so the next start records afresh.
QStringList recordedArguments(const QString& executable, int timeoutMs = 5000);

// Starts a D-Bus session bus of the test's own, for the tray hosts and portals a
// test plays or starts, and points this process and its children at it.
bool startSessionBus(QProcess& daemon);

} // namespace TestEnvironment

// Account records for tests, and what tests compare them by.
namespace TestAccounts {

inline Account make(const QString& label, const QString& site = QStringLiteral("Site"),
                    const QString& url = QStringLiteral("https://example.org/login"))
{
    Account account;
    account.siteName = site;
    account.url = url;
    account.label = label;
    return account;
}

inline void write(const QString& path, const QList<Account>& accounts)
{
    TestEnvironment::writeFile(path, AccountsFile::encode(accounts));
}

inline QStringList labels(const QList<Account>& accounts)
{
    QStringList result;
    for (const Account& account : accounts)
        result << account.label;
    return result;
}

} // namespace TestAccounts

// A child process that is killed, and waited for, when it goes.
class OwnedProcess : public QProcess {
public:
    ~OwnedProcess() override
    {
        kill();
        waitForFinished();
    }
    // For a failure message: whether it still runs, and the end of what it said.
    QByteArray log()
    {
        const QByteArray said = (readAllStandardOutput() + readAllStandardError()).right(3000);
        const QByteArray how = state() == NotRunning ? "ended (" + QByteArray::number(exitCode()) + ")" : "runs";
        return program().toUtf8() + ' ' + how + ", saying:\n" + said;
    }
};

#define CORVALINK_TEST_MAIN(TestClass)                                                                                 \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        TestEnvironment::isolate();                                                                                    \
        QApplication app(argc, argv);                                                                                  \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
