#pragma once

#include <QList>
#include <QString>
#include <QUuid>

#include <utility>

namespace Paths {

// $XDG_DATA_HOME/Corvalink (usually ~/.local/share/Corvalink).
QString dataFolder();

// An account's browser profile, in-app web data and web engine storage, below
// the data folder. Chromium and Firefox profiles live apart: an account moved
// from one family to the other must not hand one browser's files to the other.
QString profileFolder(const QUuid& id, const QString& base = dataFolder());
QString firefoxProfileFolder(const QUuid& id, const QString& base = dataFolder());
QString webDataFolder(const QUuid& id, const QString& base = dataFolder());
QString webEngineFolder(const QUuid& id, const QString& base = dataFolder());

// Where a browser started from `executable` keeps Corvalink's profiles: a snap
// or a flatpak may write only inside its own folders in the home
// (~/snap/NAME/common, ~/.var/app/APP-ID/data); any other browser, the data folder.
QString browserDataFolder(const QString& executable);

// Every profile folder of the account that exists, for both families, below
// `base` and in every sandboxed browser's folder; each with the folder it is below.
QList<std::pair<QString, QString>> accountProfileFolders(const QUuid& id, const QString& base = dataFolder());

// Creates the folder with its parents and makes the folder itself private to
// the user (0700). Returns whether it is now a folder of the user's, writable
// and private: anything else (a file in its place, a full disk) is not. A
// symbolic link the user put there is used as it is, never changed: it counts
// only when what it points to is already such a folder.
bool makePrivateDir(const QString& path);

// Whether the path itself is a symbolic link (dangling or not).
bool isLink(const QString& path);

// Deletes one of the app's own folders below `base` with what it holds. A
// symbolic link there is removed itself, never what it points to, and nothing
// is deleted through a linked folder on the way from `base`. False with the
// reason in `error` when something was left.
bool removeOwnFolder(const QString& path, const QString& base, QString* error);

// A folder only this user can reach, for sockets and lock files:
// $XDG_RUNTIME_DIR when it is the user's and private, else a private folder in
// the user's cache. Empty when neither can be had.
QString runtimeFolder();

// The path with the home folder written as "~".
QString withTilde(const QString& path);

} // namespace Paths
