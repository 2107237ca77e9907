#pragma once

#include <QString>

// An advisory lock (flock) that every Corvalink process takes around a
// read-edit-write of one accounts file, so that two processes never write over
// each other's change, or around a start, so that two starts never both become
// the running instance. Held from construction to destruction; blocking; gone
// with the process that held it.
class FileLock {
public:
    enum class Kind { Accounts, Start };

    // The lock file lives in the private runtime folder, named after `path`;
    // never beside the file, which may sit in a synced folder.
    explicit FileLock(const QString& path, Kind kind = Kind::Accounts);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool isLocked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};
