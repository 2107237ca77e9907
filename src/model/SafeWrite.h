#pragma once

#include <QByteArray>
#include <QString>

// Whole-file replacement that readers and crashes never see half done: the new
// content goes to a temporary file beside the target, is flushed to disk and
// renamed over it. The temporary names are unmistakably ours, so that the
// clean-up of interrupted saves never touches a file the user made.
namespace SafeWrite {

// The file a chain of symbolic links leads to (the path itself when it is none).
QString resolveLinks(const QString& path);

// False with the reason in `error` when the target keeps its old content. A
// link is written through: the file it leads to is replaced.
bool write(const QString& path, const QByteArray& bytes, QString* error);

// Copies a file that could not be read aside, as PATH.unreadable-<UTC time>,
// before anything replaces it; false (and said in the log) when it cannot be.
bool keepUnreadableCopy(const QString& path);

// Removes the temporary files of saves to `path` that were cut short (the
// process killed, the machine off): ours, and unchanged for a minute.
void removeLeftovers(const QString& path);

} // namespace SafeWrite
