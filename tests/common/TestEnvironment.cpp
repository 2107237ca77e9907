#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace TestEnvironment {

namespace {
QTemporaryDir* folder = nullptr;
}

void isolate()
{
    folder = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/corvalink-test-XXXXXX"));
    const QString root = folder->path();
    for (const char* sub : {"data", "config", "cache", "runtime"})
        QDir(root).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(root + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_CACHE_HOME", (root + QStringLiteral("/cache")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (root + QStringLiteral("/runtime")).toUtf8());
    // No session bus unless a test starts one of its own: the machine's tray
    // host or portal must not decide what a test sees.
    qputenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root + QStringLiteral("/runtime/no-bus")).toUtf8());
}

QString home()
{
    return folder->path();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString makeFakeBrowsers(const QStringList& executables, const QString& target)
{
    const QString dir = target.isEmpty() ? home() + QStringLiteral("/fakebin") : target;
    QDir().mkpath(dir);
    for (const QString& name : executables) {
        const QString path = dir + QLatin1Char('/') + name;
        QFile script(path);
        script.open(QIODevice::WriteOnly | QIODevice::Truncate);
        // Shell builtins only: the tests run it with a PATH that holds nothing else.
        // The marker comes last, so a reader never sees a file half written.
        script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n: > \"$0.args.done\"\n");
        script.close();
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return dir;
}

QStringList recordedArguments(const QString& executable, int timeoutMs)
{
    const QString path = executable + QStringLiteral(".args");
    if (!QTest::qWaitFor([&] { return QFileInfo::exists(path + QStringLiteral(".done")); }, timeoutMs))
        return {};
    QString text = QString::fromUtf8(readFile(path));
    QFile::remove(path);
    QFile::remove(path + QStringLiteral(".done"));
    text.chop(1);
    return text.split(QLatin1Char('\n'));
}

} // namespace TestEnvironment
