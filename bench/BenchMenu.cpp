#include "AccountsFile.h"
#include "StatusMenu.h"
#include "StatusMenuContent.h"
#include "Store.h"

#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QString writeAccounts(const QString& base, int count)
{
    QDir().mkpath(base);
    QList<Account> accounts;
    for (int i = 0; i < count; ++i) {
        Account account;
        account.siteName = QStringLiteral("Site %1").arg(i % 50);
        account.url = QStringLiteral("https://example.org");
        account.label = QStringLiteral("account %1").arg(i);
        account.color = (i % 4) ? std::optional<QString>(QStringLiteral("Green")) : std::nullopt;
        if (i % 2)
            account.lastOpened = 786000000.0 + i;
        accounts.append(account);
    }
    QFile file(base + QStringLiteral("/accounts.json"));
    file.open(QIODevice::WriteOnly);
    file.write(AccountsFile::encode(accounts));
    return base;
}

// What opening the status menu costs: re-read the file, group, order, build the QMenu.
void menuRebuild(benchmark::State& state)
{
    QTemporaryDir dir;
    Store store(writeAccounts(dir.path() + QStringLiteral("/Corvalink"), int(state.range(0))));
    QMenu menu;
    StatusMenu statusMenu(&menu, [](const MenuEntry&) {});
    for (auto _ : state) {
        store.reload();
        statusMenu.populate(StatusMenuContent::build(store.accounts()));
    }
}

// The first opening, when the menu has no items to reuse yet.
void menuFirstOpening(benchmark::State& state)
{
    QTemporaryDir dir;
    Store store(writeAccounts(dir.path() + QStringLiteral("/Corvalink"), int(state.range(0))));
    for (auto _ : state) {
        QMenu menu;
        StatusMenu statusMenu(&menu, [](const MenuEntry&) {});
        store.reload();
        statusMenu.populate(StatusMenuContent::build(store.accounts()));
    }
}

} // namespace

BENCHMARK(menuFirstOpening)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(menuRebuild)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
