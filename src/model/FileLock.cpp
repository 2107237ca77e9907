#include "FileLock.h"

#include "Paths.h"

#include <QCryptographicHash>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

FileLock::FileLock(const QString& path, Kind kind)
{
    const QString folder = Paths::runtimeFolder();
    if (folder.isEmpty())
        return;
    const QByteArray name = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    const QByteArray lockPath = QFile::encodeName(folder) +
                                (kind == Kind::Start ? "/corvalink-start-" : "/corvalink-accounts-") + name + ".lock";
    m_fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        qWarning("Corvalink: cannot open the lock file %s: %s", lockPath.constData(), std::strerror(errno));
        return;
    }
    while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

FileLock::~FileLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}
