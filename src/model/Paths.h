#pragma once

#include <QString>
#include <QUuid>

namespace Paths {

// $XDG_DATA_HOME/Corvalink (usually ~/.local/share/Corvalink).
QString dataFolder();

// An account's browser profile, in-app web data and web engine storage, below
// the data folder.
QString profileFolder(const QUuid& id, const QString& base = dataFolder());
QString webDataFolder(const QUuid& id, const QString& base = dataFolder());
QString webEngineFolder(const QUuid& id, const QString& base = dataFolder());

// Creates the folder with its parents and makes the folder itself private to
// the user (0700). Returns whether it is now a folder of the user's, writable
// and private: anything else (a file in its place, a full disk) is not.
bool makePrivateDir(const QString& path);

// The path with the home folder written as "~".
QString withTilde(const QString& path);

} // namespace Paths
