// A child for the crash-safety test: saves the store in a loop until it is
// killed. Save number n gives account n % count the label n, so every complete
// file tells exactly which save wrote it. It says "ready" before the first
// save and "saved" after it.
#include "Store.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    Store store(QString::fromLocal8Bit(argv[1]));
    const qsizetype count = store.accounts().size();
    if (count == 0)
        return 3;
    std::puts("ready");
    std::fflush(stdout);
    for (qint64 n = 0;; ++n) {
        Account account = store.accounts().at(n % count);
        account.label = QString::number(n);
        store.update(account);
        if (n == 0) {
            std::puts("saved");
            std::fflush(stdout);
        }
    }
}
