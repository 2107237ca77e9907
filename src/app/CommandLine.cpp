#include "CommandLine.h"

#include "BrowserLauncher.h"
#include "StatusMenuContent.h"

#include <QRegularExpression>
#include <QUuid>

namespace {

// In place: a listing of thousands of accounts builds one string.
void appendDescription(QString& text, const Account& account)
{
    text += account.idText();
    text += QLatin1Char('\t');
    text += CommandLine::escaped(account.siteName);
    text += QLatin1Char('\t');
    text += CommandLine::escaped(account.label);
}

QString describe(const Account& account)
{
    QString text;
    appendDescription(text, account);
    return text;
}

// Line and paragraph separators and the bidirectional controls: a terminal or
// a script would take them for line ends, or show the text reordered.
bool isInvisibleControl(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0x061C || u == 0x200E || u == 0x200F || u == 0x2028 || u == 0x2029 || (u >= 0x202A && u <= 0x202E) ||
           (u >= 0x2066 && u <= 0x2069);
}

} // namespace

namespace CommandLine {

Request parse(const QStringList& arguments)
{
    // Qt's own options, with one dash or two; those in the second list take a value.
    static const QStringList qtFlags{QStringLiteral("reverse"), QStringLiteral("nograb"), QStringLiteral("dograb"),
                                     QStringLiteral("sync")};
    static const QStringList qtOptions{QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
                                       QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
                                       QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
                                       QStringLiteral("qwindowtitle"),    QStringLiteral("style"),
                                       QStringLiteral("stylesheet"),      QStringLiteral("session"),
                                       QStringLiteral("display"),         QStringLiteral("geometry")};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        const QString name = QString(argument).remove(QRegularExpression(QStringLiteral("^--?")));
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return {Mode::Help, {}, {}};
        if (argument == QLatin1String("--version"))
            return {Mode::Version, {}, {}};
        if (argument == QLatin1String("--list"))
            return {Mode::List, {}, {}};
        if (argument == QLatin1String("--menu"))
            return {Mode::Menu, {}, {}};
        if (argument == QLatin1String("--open")) {
            if (i + 1 >= arguments.size())
                return {Mode::Usage, {}, {}};
            return {Mode::Open, arguments.at(i + 1), arguments.value(i + 2)};
        }
        if (argument == QLatin1String("--settings"))
            continue;
        if (argument == QLatin1String("--snapshot") ||
            (argument.startsWith(QLatin1Char('-')) && qtOptions.contains(name))) {
            ++i; // its value
            continue;
        }
        // A mistyped option must not start the tray app as if nothing was asked.
        if (argument.startsWith(QLatin1Char('-')) && !qtFlags.contains(name))
            return {Mode::Usage, argument, {}};
        if (!argument.startsWith(QLatin1Char('-')))
            return {Mode::Link, {}, argument};
    }
    return {};
}

std::optional<QUrl> acceptedLink(const QString& text)
{
    // Longer than any address a site hands out; past it, a link is more likely an attack.
    constexpr qsizetype longest = 32768;
    const bool spaced = std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); });
    if (text.isEmpty() || text.size() > longest || spaced || !BrowserLauncher::isWebAddress(text))
        return std::nullopt;
    return QUrl(text, QUrl::StrictMode);
}

std::optional<QString> snapshotFolder(const QStringList& arguments)
{
    const qsizetype index = arguments.indexOf(QStringLiteral("--snapshot"));
    if (index < 0 || index + 1 >= arguments.size())
        return std::nullopt;
    return arguments.at(index + 1);
}

QString escaped(const QString& text)
{
    const auto plain = [](QChar c) {
        return (c.unicode() >= 0x20 && c.unicode() < 0x7f && c != QLatin1Char('\\')) ||
               (c.unicode() >= 0xa0 && !isInvisibleControl(c) && c.category() != QChar::Other_Control);
    };
    // Nearly every label is plain: no copy for those.
    if (std::all_of(text.cbegin(), text.cend(), plain))
        return text;
    QString result;
    for (const QChar c : text) {
        if (isInvisibleControl(c))
            result += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else if (c == QLatin1Char('\\'))
            result += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\t'))
            result += QStringLiteral("\\t");
        else if (c == QLatin1Char('\n'))
            result += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            result += QStringLiteral("\\r");
        else if (c.category() == QChar::Other_Control)
            result += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            result += c;
    }
    return result;
}

QString printable(const QString& message)
{
    QString result;
    for (const QChar c : message)
        result += c == QLatin1Char('\n') || c == QLatin1Char('\t') ? QString(c) : escaped(QString(c));
    return result;
}

QString helpText()
{
    return QStringLiteral("Usage: corvalink [option | URL]\n"
                          "Keeps several logins to the same web sites apart: every account opens in a\n"
                          "browser profile of its own.\n"
                          "\n"
                          "Without options Corvalink runs in the system tray. Its menu also opens with the\n"
                          "shortcut that its settings show, or with corvalink --menu.\n"
                          "\n"
                          "  --list          print the accounts: id, site name and label, tab-separated,\n"
                          "                  one line each; in names and labels a backslash, tab, newline\n"
                          "                  and carriage return show as \\\\, \\t, \\n and \\r, other control\n"
                          "                  characters as \\xHH, line separators and direction\n"
                          "                  marks as \\uHHHH\n"
                          "  --open KEY      open the account whose id or label is KEY\n"
                          "  --open KEY URL  open URL (http or https) in that account instead of its\n"
                          "                  login page\n"
                          "  URL             open the link in the account a rule names for its host, or\n"
                          "                  ask which account opens it\n"
                          "  --menu          open the account menu of the running Corvalink; bind a key\n"
                          "                  to this in the desktop's keyboard settings\n"
                          "  --settings      open the settings window\n"
                          "  --snapshot DIR  save pictures of the settings tabs into DIR and quit\n"
                          "  --version       print the version\n"
                          "  --help          print this help\n");
}

QString listing(const QList<Account>& accounts)
{
    QString text;
    text.reserve(accounts.size() * 64);
    for (const Account* account : StatusMenuContent::inMenuOrder(accounts)) {
        appendDescription(text, *account);
        text += QLatin1Char('\n');
    }
    return text;
}

Lookup find(const QList<Account>& accounts, const QString& key)
{
    const QUuid id = QUuid::fromString(key);
    if (const auto account = Account::find(accounts, id); account && !id.isNull())
        return {*account, {}};
    QList<Account> labelled;
    for (const Account& account : accounts) {
        if (account.label == key)
            labelled.append(account);
    }
    if (labelled.size() == 1)
        return {labelled.first(), {}};

    QString error;
    const QList<Account>& candidates = labelled.isEmpty() ? accounts : labelled;
    if (labelled.isEmpty())
        error = QStringLiteral("No account has the id or label \"%1\".").arg(key);
    else
        error = QStringLiteral("%1 accounts are labelled \"%2\"; open one by its id.").arg(labelled.size()).arg(key);
    if (candidates.isEmpty())
        return {std::nullopt, error + QStringLiteral(" There are no accounts yet.")};
    error += QStringLiteral(" Candidates:");
    for (const Account* account : StatusMenuContent::inMenuOrder(candidates))
        error += QStringLiteral("\n  ") + describe(*account);
    return {std::nullopt, error};
}

} // namespace CommandLine
