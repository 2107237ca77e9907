#include "Account.h"

#include <algorithm>
#include <cmath>

namespace {

// 2001-01-01 00:00:00 UTC in Unix milliseconds.
constexpr qint64 referenceEpochMs = 978307200000LL;

bool sameText(const QString& a, const QString& b)
{
    return a == b || a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

bool sameText(const std::optional<QString>& a, const std::optional<QString>& b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || sameText(*a, *b);
}

} // namespace

QString Account::idText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

qsizetype Account::indexOf(const QList<Account>& accounts, const QUuid& id)
{
    const auto it =
        std::find_if(accounts.cbegin(), accounts.cend(), [&](const Account& stored) { return stored.id == id; });
    return it == accounts.cend() ? -1 : it - accounts.cbegin();
}

std::optional<Account> Account::find(const QList<Account>& accounts, const QUuid& id)
{
    const qsizetype index = indexOf(accounts, id);
    return index < 0 ? std::nullopt : std::optional<Account>(accounts.at(index));
}

QString Account::idText() const
{
    return idText(id);
}

QString Account::displayName() const
{
    return siteName + QStringLiteral(" \u2013 ") + label;
}

bool Account::operator==(const Account& other) const
{
    return id == other.id && sameText(siteName, other.siteName) && sameText(url, other.url) &&
           sameText(label, other.label) && sameText(browser, other.browser) && sameText(color, other.color) &&
           lastOpened == other.lastOpened;
}

double Account::referenceSeconds(const QDateTime& time)
{
    return double(time.toMSecsSinceEpoch() - referenceEpochMs) / 1000.0;
}

QDateTime Account::dateFromReferenceSeconds(double seconds)
{
    return QDateTime::fromMSecsSinceEpoch(referenceEpochMs + qint64(seconds * 1000.0), Qt::UTC);
}

bool Account::isRepresentableReferenceSeconds(double seconds)
{
    // Milliseconds since 1970 must fit in 64 bits with room for the epoch shift.
    constexpr double limit = 9.2e15;
    return std::isfinite(seconds) && std::fabs(seconds) <= limit;
}

double Account::nowReferenceSeconds()
{
    return referenceSeconds(QDateTime::currentDateTimeUtc());
}
