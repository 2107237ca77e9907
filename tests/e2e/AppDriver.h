#pragma once

#include "Account.h"

#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>

// Runs the real corvalink executable, with a fake chromium alone on its PATH.
class AppDriver {
public:
    AppDriver();

    static QString executable();
    const QString bin;
    QProcessEnvironment environment;

    // A long-running instance of the tray app.
    QProcess* start(const QStringList& arguments = {}) const;
    // A short run: waits for the exit and returns it (exit code -1 when it hung or crashed).
    struct Result {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    Result run(const QStringList& arguments, int timeoutMs = 20000) const;

    static QString accountsFile();
    static void writeAccounts(const QList<Account>& accounts);
    static QList<Account> storedAccounts();
    // What the fake chromium was started with, and what it should be for the account.
    QStringList browserArguments() const;
    static QStringList expectedArguments(const Account& account);

    // The centres of corvalink's icons in the XEmbed tray host.
    static QList<QPoint> trayIcons();
    // Every visible window of corvalink, menus included.
    static int appWindows();
};
