#pragma once

#include <QApplication>
#include <QString>
#include <QTest>

// Every test process gets its own HOME and XDG folders, so no test ever touches
// the user's files or another test's.
namespace TestEnvironment {

void isolate();

// The temporary home of this process.
QString home();

// Writes bytes to a file, creating its folder.
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// A folder with executable scripts named like browsers that write their
// arguments, one per line, to <folder>/<name>.args, then mark the file complete
// with <folder>/<name>.args.done. Returns the folder.
QString makeFakeBrowsers(const QStringList& executables, const QString& folder = {});

// The arguments a fake browser recorded, once its file is complete (empty after
// the timeout). Both files are removed, so the next start records afresh.
QStringList recordedArguments(const QString& executable, int timeoutMs = 5000);

} // namespace TestEnvironment

#define CORVALINK_TEST_MAIN(TestClass)                                                                                 \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        TestEnvironment::isolate();                                                                                    \
        QApplication app(argc, argv);                                                                                  \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
