#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// One login the user registered. A plain value: callers copy it, change the copy
// and hand it back to the store whole.
struct Account {
    QUuid id = QUuid::createUuid();
    QString siteName;
    QString url;
    QString label;
    std::optional<QString> browser;
    std::optional<QString> color;
    // Seconds since 2001-01-01 00:00:00 UTC, the form the accounts file keeps.
    std::optional<double> lastOpened;

    // The id as the file and the profile folders write it: 36 upper-case characters.
    QString idText() const;
    // "Site – label", as window titles and questions name the account.
    QString displayName() const;

    // Texts compare in NFC, so canonically equivalent spellings are equal.
    bool operator==(const Account& other) const;

    static QString idText(const QUuid& id);
    // The record with that id in the list, if there is one.
    static std::optional<Account> find(const QList<Account>& accounts, const QUuid& id);
    // Its position, or -1.
    static qsizetype indexOf(const QList<Account>& accounts, const QUuid& id);
    static double referenceSeconds(const QDateTime& time);
    // Defined for the seconds that isRepresentableReferenceSeconds accepts.
    static QDateTime dateFromReferenceSeconds(double seconds);
    // Finite and within the dates the platform can represent (about ±290 million years).
    static bool isRepresentableReferenceSeconds(double seconds);
    static double nowReferenceSeconds();
};
