#include "CloudPresence.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

bool isMountPoint(const QString& path)
{
    struct stat self {};
    struct stat parent {};
    if (::stat(QFile::encodeName(path).constData(), &self) != 0 ||
        ::stat(QFile::encodeName(path + QStringLiteral("/..")).constData(), &parent) != 0)
        return false;
    return self.st_dev != parent.st_dev;
}

} // namespace

namespace CloudPresence {

bool isPresent(const QString& root)
{
    if (!QFileInfo(root).isDir())
        return false;
    return isMountPoint(root) ||
           !QDir(root).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

} // namespace CloudPresence
