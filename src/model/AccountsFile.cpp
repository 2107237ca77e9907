#include "AccountsFile.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Optional keys only when present; QJsonObject keeps keys in code-point order.
QJsonObject toJson(const Account& account)
{
    QJsonObject object{{QStringLiteral("id"), account.idText()},
                       {QStringLiteral("label"), account.label},
                       {QStringLiteral("siteName"), account.siteName},
                       {QStringLiteral("url"), account.url}};
    if (account.browser)
        object.insert(QStringLiteral("browser"), *account.browser);
    if (account.color)
        object.insert(QStringLiteral("color"), *account.color);
    if (account.lastOpened)
        object.insert(QStringLiteral("lastOpened"), *account.lastOpened);
    return object;
}

// 8-4-4-4-12 hexadecimal digits, either case; nothing else (no braces).
bool isIdText(QStringView text)
{
    if (text.size() != 36)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (hyphenPlace ? c != '-' : !hex)
            return false;
    }
    return true;
}

std::optional<QUuid> parseId(const QJsonValue& value)
{
    if (!value.isString())
        return std::nullopt;
    const QString text = value.toString();
    if (!isIdText(text))
        return std::nullopt;
    return QUuid::fromString(text);
}

// Each reader says which key made the element an error.
struct Problem {
    QString key;
};

QString requiredText(const QJsonObject& object, QLatin1StringView key, std::optional<Problem>& problem)
{
    const QJsonValue value = object.value(key);
    if (!value.isString() && !problem)
        problem = Problem{QString(key)};
    return value.toString();
}

// Missing or null is absent; a value of another type is an error.
std::optional<QString> optionalText(const QJsonObject& object, QLatin1StringView key, std::optional<Problem>& problem)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString() && !problem)
        problem = Problem{QString(key)};
    return value.toString();
}

std::optional<double> optionalTime(const QJsonObject& object, std::optional<Problem>& problem)
{
    const QLatin1StringView key("lastOpened");
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    // A number too large for a double would be written back as null, and one
    // beyond the dates the platform represents cannot be shown: refuse both.
    if (!value.isDouble() || !Account::isRepresentableReferenceSeconds(value.toDouble())) {
        if (!problem)
            problem = Problem{QString(key)};
        return std::nullopt;
    }
    return value.toDouble();
}

std::optional<Account> fromJson(const QJsonValue& element, std::optional<Problem>& problem)
{
    if (!element.isObject()) {
        problem = Problem{};
        return std::nullopt;
    }
    const QJsonObject object = element.toObject();
    // Latin-1 keys: no string is made to look each one up.
    const auto id = parseId(object.value(QLatin1StringView("id")));
    if (!id)
        problem = Problem{QStringLiteral("id")};
    Account account{id.value_or(QUuid()),
                    requiredText(object, QLatin1StringView("siteName"), problem),
                    requiredText(object, QLatin1StringView("url"), problem),
                    requiredText(object, QLatin1StringView("label"), problem),
                    optionalText(object, QLatin1StringView("browser"), problem),
                    optionalText(object, QLatin1StringView("color"), problem),
                    optionalTime(object, problem)};
    if (problem)
        return std::nullopt;
    return account;
}

QString describe(qsizetype index, const Problem& problem)
{
    if (problem.key.isEmpty())
        return QStringLiteral("entry %1 is not an account").arg(index + 1);
    return QStringLiteral("entry %1 has no valid \"%2\"").arg(index + 1).arg(problem.key);
}

} // namespace

namespace AccountsFile {

QByteArray encode(const QList<Account>& accounts)
{
    QJsonArray array;
    for (const Account& account : accounts)
        array.append(toJson(account));
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

std::optional<QList<Account>> decode(const QByteArray& bytes, QString* why)
{
    const auto reject = [why](const QString& reason) {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return reject(
            QStringLiteral("it is not valid JSON (%1 at byte %2)").arg(error.errorString()).arg(error.offset));
    if (!document.isArray())
        return reject(QStringLiteral("it does not hold a list of accounts"));

    QList<Account> accounts;
    const QJsonArray array = document.array();
    accounts.reserve(array.size());
    // Two records of one id would share a profile: which one the user meant is unknowable.
    QHash<QUuid, qsizetype> seen;
    seen.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        std::optional<Problem> problem;
        auto account = fromJson(array.at(i), problem);
        if (!account)
            return reject(describe(i, *problem));
        if (const auto first = seen.constFind(account->id); first != seen.cend())
            return reject(QStringLiteral("entries %1 and %2 have the same id %3")
                              .arg(*first + 1)
                              .arg(i + 1)
                              .arg(account->idText()));
        seen.insert(account->id, i);
        accounts.append(std::move(*account));
    }
    return accounts;
}

} // namespace AccountsFile
