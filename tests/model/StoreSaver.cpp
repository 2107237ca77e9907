// A child for the crash-safety test: saves the store in a loop until it is
// killed, each save with another label. It says "ready" before the first save
// and "saved" after it. With "add N" it adds N accounts, one save each, and ends.
#include "Store.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Store store(QString::fromLocal8Bit(argc > 1 ? argv[1] : ""));
    const qsizetype count = store.accounts().size();
    if (argc < 2 || count == 0)
        return 2;
    for (int added = 0; argc == 4 && added < QByteArray(argv[3]).toInt(); ++added)
        store.append(Account{});
    if (argc == 4)
        return 0;
    for (qint64 n = 0;; ++n) {
        if (n < 2 && std::puts(n == 0 ? "ready" : "saved") >= 0)
            std::fflush(stdout);
        Account account = store.accounts().at(n % count);
        account.label = QString::number(n);
        store.update(account);
    }
}
