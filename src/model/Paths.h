#pragma once

#include <QString>

namespace Paths {

// $XDG_DATA_HOME/Corvalink (usually ~/.local/share/Corvalink).
QString dataFolder();

// Creates the folder with its parents and makes the folder itself private to
// the user (0700). Returns whether it is now a folder of the user's, writable
// and private: anything else (a file in its place, a full disk) is not.
bool makePrivateDir(const QString& path);

// The path with the home folder written as "~".
QString withTilde(const QString& path);

} // namespace Paths
