#include "LinkRules.h"

#include "Paths.h"
#include "SafeWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

std::optional<QList<LinkRules::Rule>> decode(const QByteArray& bytes, QString* why)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        *why = QStringLiteral("it is not a JSON list of rules");
        return std::nullopt;
    }
    QList<LinkRules::Rule> rules;
    for (const QJsonValue& element : document.array()) {
        const QString host = element[QLatin1StringView("host")].toString();
        const QUuid account = QUuid::fromString(element[QLatin1StringView("account")].toString());
        if (!LinkRules::isHostPattern(host) || account.isNull()) {
            *why = QStringLiteral("entry %1 is not a host and an account id").arg(rules.size() + 1);
            return std::nullopt;
        }
        rules.append({host, account});
    }
    return rules;
}

QByteArray encode(const QList<LinkRules::Rule>& rules)
{
    QJsonArray array;
    for (const LinkRules::Rule& rule : rules)
        array.append(QJsonObject{{QStringLiteral("host"), rule.host},
                                 {QStringLiteral("account"), Account::idText(rule.account)}});
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

} // namespace

LinkRules& LinkRules::shared()
{
    static LinkRules rules(Paths::dataFolder());
    return rules;
}

LinkRules::LinkRules(const QString& folder)
    : m_path(folder + QStringLiteral("/link-rules.json"))
{
    reload();
}

void LinkRules::reload()
{
    m_rules.clear();
    m_readError.clear();
    QFile file(m_path);
    if (!file.exists())
        return;
    // A FIFO or a device would block the reader, and cannot be kept aside.
    if (!QFileInfo(m_path).isFile()) {
        m_readError = QStringLiteral("it is not a regular file");
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        m_readError = file.errorString();
        return;
    }
    if (auto rules = decode(file.readAll(), &m_readError))
        m_rules = std::move(*rules);
}

bool LinkRules::isHostPattern(const QString& host)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\*\\.)?[a-z0-9-]+(\\.[a-z0-9-]+)*$"));
    return pattern.match(host).hasMatch();
}

QString LinkRules::registrableDomain(const QString& host)
{
    static const QStringList genericSecondLevels{QStringLiteral("co"),  QStringLiteral("com"), QStringLiteral("net"),
                                                 QStringLiteral("org"), QStringLiteral("gov"), QStringLiteral("ac"),
                                                 QStringLiteral("edu")};
    const QStringList labels = host.toLower().split(QLatin1Char('.'), Qt::SkipEmptyParts);
    qsizetype kept = 2;
    if (labels.size() >= 3 && labels.last().size() == 2 && genericSecondLevels.contains(labels.at(labels.size() - 2)))
        kept = 3;
    return labels.mid(std::max<qsizetype>(labels.size() - kept, 0)).join(QLatin1Char('.'));
}

bool LinkRules::covers(const QString& pattern, const QString& host)
{
    if (pattern.startsWith(QLatin1String("*.")))
        return host.endsWith(pattern.mid(1));
    return pattern == host;
}

std::optional<QUuid> LinkRules::accountFor(const QString& host, const QList<Account>& accounts) const
{
    const QString wanted = host.toLower();
    std::optional<Rule> best;
    for (const Rule& rule : m_rules) {
        if (!covers(rule.host, wanted) || !Account::find(accounts, rule.account))
            continue;
        // Exact beats any wildcard; a longer wildcard is the narrower one.
        const auto weight = [](const QString& pattern) {
            return pattern.startsWith(QLatin1Char('*')) ? pattern.size() : std::numeric_limits<qsizetype>::max();
        };
        if (!best || weight(rule.host) > weight(best->host))
            best = rule;
    }
    return best ? std::optional<QUuid>(best->account) : std::nullopt;
}

QStringList LinkRules::hostsOf(const QUuid& account) const
{
    QStringList hosts;
    for (const Rule& rule : m_rules) {
        if (rule.account == account)
            hosts.append(rule.host);
    }
    return hosts;
}

bool LinkRules::add(const QString& host, const QUuid& account)
{
    const QString pattern = host.toLower();
    if (!isHostPattern(pattern))
        return false;
    reload();
    QList<Rule> rules = m_rules;
    rules.removeIf([&](const Rule& rule) { return rule.host == pattern; });
    rules.append({pattern, account});
    return save(rules);
}

bool LinkRules::remove(const QString& host)
{
    reload();
    QList<Rule> rules = m_rules;
    return rules.removeIf([&](const Rule& rule) { return rule.host == host; }) == 0 || save(rules);
}

bool LinkRules::dropMissing(const QList<Account>& accounts)
{
    reload();
    QList<Rule> rules = m_rules;
    const auto gone = rules.removeIf([&](const Rule& rule) { return !Account::find(accounts, rule.account); });
    return gone == 0 || save(rules);
}

bool LinkRules::save(const QList<Rule>& rules)
{
    // The rules in the file are the user's too: an unreadable file is kept aside first.
    const QFileInfo existing(m_path);
    if (!m_readError.isEmpty() && existing.exists() && (!existing.isFile() || !SafeWrite::keepUnreadableCopy(m_path)))
        return false;
    QString error;
    if (!Paths::makePrivateDir(QFileInfo(m_path).path()) || !SafeWrite::write(m_path, encode(rules), &error)) {
        qWarning("Corvalink: the link rules could not be saved to %s: %s", qPrintable(m_path), qPrintable(error));
        return false;
    }
    m_rules = rules;
    m_readError.clear();
    return true;
}
