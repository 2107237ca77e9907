#pragma once

#include <QIcon>

// The tray icon. Panels may be light or dark and an XEmbed tray tells the app
// neither, so the dark artwork carries a light halo that reads on both. Hosts
// that take an icon name get the symbolic one, which they tint themselves.
namespace TrayArtwork {

QIcon icon();
// The app's own icon, for its windows; each size drawn when first shown.
QIcon applicationIcon();

} // namespace TrayArtwork
