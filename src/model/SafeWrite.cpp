#include "SafeWrite.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

const QString marker = QStringLiteral(".corvalink-save-");

// ".accounts.json.corvalink-save-" followed by what QTemporaryFile puts for XXXXXX.
QString temporaryPrefix(const QFileInfo& target)
{
    return QLatin1Char('.') + target.fileName() + marker;
}

} // namespace

namespace SafeWrite {

bool write(const QString& path, const QByteArray& bytes, QString* error)
{
    const QFileInfo target(path);
    QTemporaryFile temporary(target.path() + QLatin1Char('/') + temporaryPrefix(target) + QStringLiteral("XXXXXX"));
    if (!temporary.open()) {
        *error = temporary.errorString();
        return false;
    }
    if (target.isFile())
        temporary.setPermissions(target.permissions());
    if (temporary.write(bytes) != bytes.size() || !temporary.flush()) {
        *error = temporary.errorString();
        return false;
    }
    // On disk before the rename, so that a crash leaves the old file or the new one.
    if (::fsync(temporary.handle()) != 0 ||
        std::rename(QFile::encodeName(temporary.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    temporary.setAutoRemove(false);
    return true;
}

void removeLeftovers(const QString& path)
{
    const QFileInfo target(path);
    const QRegularExpression ours(QLatin1Char('^') + QRegularExpression::escape(temporaryPrefix(target)) +
                                  QStringLiteral("[A-Za-z0-9]{6}$"));
    const QDateTime stale = QDateTime::currentDateTimeUtc().addSecs(-60);
    const QFileInfoList entries = QDir(target.path()).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        if (ours.match(entry.fileName()).hasMatch() && entry.lastModified() < stale)
            QFile::remove(entry.filePath());
    }
}

} // namespace SafeWrite
