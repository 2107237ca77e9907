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

QString resolveLinks(const QString& path)
{
    QString resolved = path;
    // As the kernel does, give up on a loop after 40 links.
    for (int depth = 0; depth < 40 && QFileInfo(resolved).isSymLink(); ++depth)
        resolved = QFileInfo(resolved).symLinkTarget();
    return resolved;
}

bool write(const QString& path, const QByteArray& bytes, QString* error)
{
    // Through a link the user made (a dotfiles manager, another sync tool): the
    // file it points to is replaced, and the link stays.
    const QFileInfo target(resolveLinks(path));
    if (!target.dir().exists()) {
        *error = QStringLiteral("%1 leads to %2, whose folder does not exist").arg(path, target.filePath());
        return false;
    }
    QTemporaryFile temporary(target.path() + QLatin1Char('/') + temporaryPrefix(target) + QStringLiteral("XXXXXX"));
    if (!temporary.open()) {
        *error = temporary.errorString();
        return false;
    }
    if (target.isFile())
        temporary.setPermissions(target.permissions());
    // Written unbuffered, so that errno still says why (a full disk) when it fails.
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t count = ::write(temporary.handle(), bytes.constData() + done, size_t(bytes.size() - done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            *error = QString::fromLocal8Bit(std::strerror(count < 0 ? errno : ENOSPC));
            return false;
        }
        done += count;
    }
    // On disk before the rename, so that a crash leaves the old file or the new one.
    if (::fsync(temporary.handle()) != 0 || std::rename(QFile::encodeName(temporary.fileName()).constData(),
                                                        QFile::encodeName(target.filePath()).constData()) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    temporary.setAutoRemove(false);
    return true;
}

void removeLeftovers(const QString& path)
{
    const QFileInfo target(resolveLinks(path));
    const QRegularExpression ours(QLatin1Char('^') + QRegularExpression::escape(temporaryPrefix(target)) +
                                  QStringLiteral("[A-Za-z0-9]{6}$"));
    const QDateTime stale = QDateTime::currentDateTimeUtc().addSecs(-60);
    const QFileInfoList entries = QDir(target.path()).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        if (ours.match(entry.fileName()).hasMatch() && entry.lastModified() < stale)
            QFile::remove(entry.filePath());
    }
}

bool keepUnreadableCopy(const QString& path)
{
    const QString copy = path + QStringLiteral(".unreadable-") +
                         QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    if (!QFile::copy(path, copy)) {
        qWarning("Corvalink: %s cannot be read and cannot be copied aside; it is left as it is", qPrintable(path));
        return false;
    }
    qWarning("Corvalink: %s could not be read; kept a copy as %s", qPrintable(path), qPrintable(copy));
    return true;
}

} // namespace SafeWrite
