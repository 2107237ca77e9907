#pragma once

#include <QString>

// Whether the iCloud Drive root is really there. On Linux the root is a folder
// that a tool such as rclone mounts: an empty folder that is not a mount point
// is only where the drive would be, and writing into it loses the data once the
// real drive is mounted over it.
namespace CloudPresence {

bool isPresent(const QString& root);

} // namespace CloudPresence
