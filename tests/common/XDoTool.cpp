#include "XDoTool.h"

#include <QProcess>
#include <QTest>

namespace XDoTool {

QStringList run(const QStringList& arguments)
{
    QByteArray output;
    for (int attempt = 0; attempt < 5; ++attempt) {
        QProcess process;
        process.start(QStringLiteral("xdotool"), arguments);
        process.waitForFinished(10000);
        output = process.readAllStandardOutput();
        if (!process.readAllStandardError().contains("X Error"))
            break;
    }
    return QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void key(const QString& keys)
{
    run({QStringLiteral("key"), keys});
    QTest::qWait(150);
}

QStringList windowsNamed(const QString& pattern)
{
    return run({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern});
}

} // namespace XDoTool
