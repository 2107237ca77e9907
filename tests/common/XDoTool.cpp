#include "XDoTool.h"

#include <QProcess>

namespace XDoTool {

QStringList run(const QStringList& arguments)
{
    constexpr int attempts = 5;
    QByteArray output;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        QProcess process;
        process.start(QStringLiteral("xdotool"), arguments);
        process.waitForFinished(10000);
        output = process.readAllStandardOutput();
        if (!process.readAllStandardError().contains("X Error"))
            break;
    }
    return QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList searchVisible(const QStringList& query)
{
    return run(QStringList{QStringLiteral("search"), QStringLiteral("--onlyvisible")} + query);
}

} // namespace XDoTool
