#include "TestEnvironment.h"

namespace TestEnvironment {

namespace {
// Destroyed, and so removed, when the test process ends.
QTemporaryDir& folder()
{
    static QTemporaryDir dir(QDir::tempPath() + u"/corvalink-test-XXXXXX"_s);
    return dir;
}
} // namespace

void isolate()
{
    const QString root = folder().path();
    for (const char* sub : {"data", "config", "cache", "runtime"})
        QDir(root).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(root + u"/runtime"_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", root.toUtf8());
    for (const char* variable : {"DATA", "CONFIG", "CACHE"})
        qputenv(QByteArray("XDG_") + variable + "_HOME",
                (root + u'/' + QString::fromLatin1(variable).toLower()).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (root + u"/runtime"_s).toUtf8());
    // No session bus unless a test starts one of its own: the machine's tray
    // host or portal must not decide what a test sees.
    qputenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root + u"/runtime/no-bus"_s).toUtf8());
}

QString home()
{
    return folder().path();
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

bool isPrivate(const QString& path)
{
    return QFileInfo(path).isDir() && (QFileInfo(path).permissions() & 0x0077) == 0;
}

QString makeFakeBrowsers(const QStringList& executables, const QString& target)
{
    const QString dir = target.isEmpty() ? home() + u"/fakebin"_s : target;
    QDir().mkpath(dir);
    for (const QString& name : executables) {
        // Shell builtins only: the tests run it with a PATH that holds nothing else.
        // The marker comes last, so a reader never sees a file half written.
        writeFile(dir + u'/' + name, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n: > \"$0.args.done\"\n");
        QFile::setPermissions(dir + u'/' + name, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return dir;
}

QStringList recordedArguments(const QString& executable, int timeoutMs)
{
    const QString path = executable + u".args"_s;
    if (!QTest::qWaitFor([&] { return QFileInfo::exists(path + u".done"_s); }, timeoutMs))
        return {};
    QString text = QString::fromUtf8(readFile(path));
    QFile::remove(path);
    QFile::remove(path + u".done"_s);
    text.chop(1);
    return text.split(u'\n');
}

bool startSessionBus(QProcess& daemon)
{
    daemon.start(u"dbus-daemon"_s, {"--session", "--nofork", "--print-address"});
    return daemon.waitForReadyRead(10000) && qputenv("DBUS_SESSION_BUS_ADDRESS", daemon.readLine().trimmed());
}

} // namespace TestEnvironment
