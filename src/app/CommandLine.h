#pragma once

#include "Account.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// The small command line for launchers and scripts: --list, --open KEY [URL],
// --menu, --help, --version, and a link (URL) handed by the desktop. Everything
// else starts the tray app as usual.
namespace CommandLine {

enum class Mode { Tray, List, Open, Link, Menu, Help, Version, Usage };

struct Request {
    Mode mode = Mode::Tray;
    QString key;
    // The link to open instead of the login URL, as given.
    QString link;
};

// A link as given on the command line, when it may be opened: an http or https
// address with a host, no white space or control character, not too long.
std::optional<QUrl> acceptedLink(const QString& text);
// What a refused link is answered with.
inline const QString linkRefusal = QStringLiteral("refused the link: only http and https addresses with a host open");

// An option that is not ours nor Qt's gives Mode::Usage, with the option as key.
Request parse(const QStringList& arguments);

// A name or label on one line: backslash, tab, newline and carriage return as
// \\, \t, \n and \r, other control characters as \xHH, line separators and
// bidirectional controls as \uHHHH.
QString escaped(const QString& text);

// A message from another process, safe to print on a terminal: its line breaks
// and tabs stay, every other control is escaped as above.
QString printable(const QString& message);

QString helpText();

// The folder after the first "--snapshot"; nothing when the switch is missing or last.
std::optional<QString> snapshotFolder(const QStringList& arguments);

// One line per account in the status menu's order: id, tab, site name, tab, label.
QString listing(const QList<Account>& accounts);

struct Lookup {
    std::optional<Account> account;
    QString error;
};

// The account whose id is the key (any case), or the one account labelled
// exactly the key. Otherwise an error that names the candidates.
Lookup find(const QList<Account>& accounts, const QString& key);

} // namespace CommandLine
