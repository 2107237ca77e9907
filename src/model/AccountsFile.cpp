#include "AccountsFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>

namespace {

QJsonObject toJson(const Account& account)
{
    // QJsonObject keeps its keys sorted, which is the order the file wants.
    QJsonObject object{
        {QStringLiteral("id"), account.idText()},
        {QStringLiteral("siteName"), account.siteName},
        {QStringLiteral("url"), account.url},
        {QStringLiteral("label"), account.label},
    };
    if (account.browser)
        object.insert(QStringLiteral("browser"), *account.browser);
    if (account.color)
        object.insert(QStringLiteral("color"), *account.color);
    if (account.lastOpened)
        object.insert(QStringLiteral("lastOpened"), *account.lastOpened);
    return object;
}

std::optional<QUuid> parseId(const QJsonValue& value)
{
    static const QRegularExpression form(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (!value.isString() || !form.match(value.toString()).hasMatch())
        return std::nullopt;
    return QUuid::fromString(value.toString());
}

std::optional<QString> requiredText(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

// Missing or null is absent; a value of another type is an error.
bool optionalText(const QJsonObject& object, const QString& key, std::optional<QString>& out)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

bool optionalTime(const QJsonObject& object, std::optional<double>& out)
{
    const QJsonValue value = object.value(QStringLiteral("lastOpened"));
    if (value.isUndefined() || value.isNull())
        return true;
    // A number too large for a double would be written back as null: refuse it.
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return false;
    out = value.toDouble();
    return true;
}

std::optional<Account> fromJson(const QJsonValue& element)
{
    if (!element.isObject())
        return std::nullopt;
    const QJsonObject object = element.toObject();
    const auto id = parseId(object.value(QStringLiteral("id")));
    const auto siteName = requiredText(object, QStringLiteral("siteName"));
    const auto url = requiredText(object, QStringLiteral("url"));
    const auto label = requiredText(object, QStringLiteral("label"));
    if (!id || !siteName || !url || !label)
        return std::nullopt;

    Account account{*id, *siteName, *url, *label, {}, {}, {}};
    if (!optionalText(object, QStringLiteral("browser"), account.browser) ||
        !optionalText(object, QStringLiteral("color"), account.color) || !optionalTime(object, account.lastOpened))
        return std::nullopt;
    return account;
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

std::optional<QList<Account>> decode(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;

    QList<Account> accounts;
    const QJsonArray array = document.array();
    accounts.reserve(array.size());
    for (const QJsonValue& element : array) {
        auto account = fromJson(element);
        if (!account)
            return std::nullopt;
        accounts.append(std::move(*account));
    }
    return accounts;
}

} // namespace AccountsFile
