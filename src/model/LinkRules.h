#pragma once

#include "Account.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

// Which account opens the links of a host. The rules belong to this computer:
// they live in the data folder as "link-rules.json", never in the accounts file,
// which other computers read. The file is replaced whole, and one that cannot
// be read is copied aside before anything replaces it.
class LinkRules {
public:
    // A host is exact ("github.com") or covers the subdomains of one ("*.github.com").
    struct Rule {
        QString host;
        QUuid account;
        bool operator==(const Rule&) const = default;
    };

    static LinkRules& shared();
    explicit LinkRules(const QString& folder);

    const QString& path() const { return m_path; }
    // Reads the file again; one that cannot be read gives no rules, and says why.
    void reload();
    const QList<Rule>& rules() const { return m_rules; }
    const QString& readError() const { return m_readError; }

    // The account for a host: its exact rule, else the narrowest "*." rule that
    // covers it. Rules of accounts missing from the list count for nothing.
    std::optional<QUuid> accountFor(const QString& host, const QList<Account>& accounts) const;
    QStringList hostsOf(const QUuid& account) const;

    // Each says whether the file now holds the change.
    bool add(const QString& host, const QUuid& account);
    bool remove(const QString& host);
    // Rules of accounts that are gone.
    bool dropMissing(const QList<Account>& accounts);

    static bool isHostPattern(const QString& host);
    // The part of a host that one owner registers: the last two labels, or three
    // under a two-letter country code with a generic second level ("co.uk").
    // Without the public suffix list this is a close reading, not an exact one.
    static QString registrableDomain(const QString& host);
    static bool covers(const QString& pattern, const QString& host);

private:
    bool save(const QList<Rule>& rules);

    QString m_path;
    QList<Rule> m_rules;
    QString m_readError;
};
