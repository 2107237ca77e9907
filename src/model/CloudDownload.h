#pragma once

#include <QString>

// Asks the sync client to fetch a file that is only a placeholder so far.
// Linux sync clients have no such request, so this does nothing here; it is the
// seam where a macOS build asks iCloud Drive to start the download.
namespace CloudDownload {

void request(const QString& path);

} // namespace CloudDownload
