#include "CloudDownload.h"

namespace CloudDownload {

void request(const QString&) {}

} // namespace CloudDownload
