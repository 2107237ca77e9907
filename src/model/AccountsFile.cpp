#include "AccountsFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <cmath>

namespace {

// The writer is our own: the file's exact form is fixed here, not by a library
// version, and it is several times faster than building a JSON tree first.
void appendEscape(QByteArray& out, char16_t unit)
{
    out += "\\u";
    out += QByteArray::number(unit, 16).rightJustified(4, '0');
}

void appendUtf8(QByteArray& out, char32_t point)
{
    if (point < 0x80) {
        out += char(point);
    } else if (point < 0x800) {
        out += char(0xC0 | (point >> 6));
        out += char(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += char(0xE0 | (point >> 12));
        out += char(0x80 | ((point >> 6) & 0x3F));
        out += char(0x80 | (point & 0x3F));
    } else {
        out += char(0xF0 | (point >> 18));
        out += char(0x80 | ((point >> 12) & 0x3F));
        out += char(0x80 | ((point >> 6) & 0x3F));
        out += char(0x80 | (point & 0x3F));
    }
}

// A JSON string. A lone surrogate (which a file may hold as "\ud800") has no
// UTF-8 form: it is written as the same escape, so the text reads back unchanged.
void appendText(QByteArray& out, const QString& text)
{
    out += '"';
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text.at(i).unicode();
        switch (unit) {
        case u'"':
            out += "\\\"";
            continue;
        case u'\\':
            out += "\\\\";
            continue;
        case u'\b':
            out += "\\b";
            continue;
        case u'\f':
            out += "\\f";
            continue;
        case u'\n':
            out += "\\n";
            continue;
        case u'\r':
            out += "\\r";
            continue;
        case u'\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        if (unit < 0x20) {
            appendEscape(out, unit);
        } else if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            appendUtf8(out, QChar::surrogateToUcs4(unit, text.at(i + 1).unicode()));
            ++i;
        } else if (QChar::isSurrogate(unit)) {
            appendEscape(out, unit);
        } else {
            appendUtf8(out, unit);
        }
    }
    out += '"';
}

// The shortest text that reads back as the same double; whole numbers without exponent.
QByteArray numberText(double value)
{
    constexpr double exactIntegers = 9007199254740992.0; // 2^53
    if (value == std::trunc(value) && std::fabs(value) < exactIntegers)
        return QByteArray::number(static_cast<qint64>(value));
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

void appendKey(QByteArray& out, bool& first, const char* key)
{
    out += first ? "\n        \"" : ",\n        \"";
    first = false;
    out += key;
    out += "\": ";
}

void appendObject(QByteArray& out, const Account& account)
{
    // Keys in code-point order; optional keys only when present.
    bool first = true;
    out += "    {";
    if (account.browser) {
        appendKey(out, first, "browser");
        appendText(out, *account.browser);
    }
    if (account.color) {
        appendKey(out, first, "color");
        appendText(out, *account.color);
    }
    appendKey(out, first, "id");
    appendText(out, account.idText());
    appendKey(out, first, "label");
    appendText(out, account.label);
    if (account.lastOpened) {
        appendKey(out, first, "lastOpened");
        out += numberText(*account.lastOpened);
    }
    appendKey(out, first, "siteName");
    appendText(out, account.siteName);
    appendKey(out, first, "url");
    appendText(out, account.url);
    out += "\n    }";
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

QString requiredText(const QJsonObject& object, const QString& key, std::optional<Problem>& problem)
{
    const QJsonValue value = object.value(key);
    if (!value.isString() && !problem)
        problem = Problem{key};
    return value.toString();
}

// Missing or null is absent; a value of another type is an error.
std::optional<QString> optionalText(const QJsonObject& object, const QString& key, std::optional<Problem>& problem)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString() && !problem)
        problem = Problem{key};
    return value.toString();
}

std::optional<double> optionalTime(const QJsonObject& object, std::optional<Problem>& problem)
{
    const QString key = QStringLiteral("lastOpened");
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    // A number too large for a double would be written back as null, and one
    // beyond the dates the platform represents cannot be shown: refuse both.
    if (!value.isDouble() || !Account::isRepresentableReferenceSeconds(value.toDouble())) {
        if (!problem)
            problem = Problem{key};
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
    const auto id = parseId(object.value(QStringLiteral("id")));
    if (!id)
        problem = Problem{QStringLiteral("id")};
    Account account{id.value_or(QUuid()),
                    requiredText(object, QStringLiteral("siteName"), problem),
                    requiredText(object, QStringLiteral("url"), problem),
                    requiredText(object, QStringLiteral("label"), problem),
                    optionalText(object, QStringLiteral("browser"), problem),
                    optionalText(object, QStringLiteral("color"), problem),
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
    QByteArray out;
    out.reserve(64 + accounts.size() * 256);
    out += "[\n";
    for (qsizetype i = 0; i < accounts.size(); ++i) {
        if (i > 0)
            out += ",\n";
        appendObject(out, accounts.at(i));
    }
    out += accounts.isEmpty() ? "]\n" : "\n]\n";
    return out;
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
    for (qsizetype i = 0; i < array.size(); ++i) {
        std::optional<Problem> problem;
        auto account = fromJson(array.at(i), problem);
        if (!account)
            return reject(describe(i, *problem));
        accounts.append(std::move(*account));
    }
    return accounts;
}

} // namespace AccountsFile
