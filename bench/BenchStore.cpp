#include "AccountsFile.h"
#include "Store.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QList<Account> makeAccounts(int count)
{
    QList<Account> accounts;
    for (int i = 0; i < count; ++i) {
        Account account;
        account.siteName = QStringLiteral("Site %1").arg(i % 40);
        account.url = QStringLiteral("https://site%1.example.org/login").arg(i % 40);
        account.label = QStringLiteral("label %1").arg((i * 7919) % count);
        if (i % 3)
            account.lastOpened = 786000000.0 + i * 17.25;
        if (i % 2)
            account.color = QStringLiteral("Blue");
        accounts.append(account);
    }
    return accounts;
}

// A store on a temporary data folder whose file holds `count` accounts.
struct StoreFixture {
    QTemporaryDir dir;
    std::unique_ptr<Store> store;

    explicit StoreFixture(int count)
    {
        const QString base = dir.path() + QStringLiteral("/Corvalink");
        QDir().mkpath(base);
        QFile file(base + QStringLiteral("/accounts.json"));
        file.open(QIODevice::WriteOnly);
        file.write(AccountsFile::encode(makeAccounts(count)));
        file.close();
        store = std::make_unique<Store>(base);
    }
};

void reloadUnchanged(benchmark::State& state)
{
    StoreFixture fixture(int(state.range(0)));
    for (auto _ : state)
        fixture.store->reload();
    state.SetLabel("unchanged file: read and compared");
}

// The file was rewritten by someone else with the same accounts: it must be
// decoded and compared each time (two spellings of the same list alternate).
void reloadRewritten(benchmark::State& state)
{
    StoreFixture fixture(int(state.range(0)));
    const QString path = fixture.store->activeFile();
    const QByteArray indented = AccountsFile::encode(fixture.store->accounts());
    const QByteArray compact = QJsonDocument::fromJson(indented).toJson(QJsonDocument::Compact);
    bool flip = false;
    for (auto _ : state) {
        state.PauseTiming();
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write((flip = !flip) ? compact : indented);
        file.close();
        state.ResumeTiming();
        fixture.store->reload();
    }
}

void sortAccounts(benchmark::State& state)
{
    const QList<Account> accounts = makeAccounts(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Store::sorted(accounts));
}

// The accounts file's text, as every save writes it.
void encodeAccounts(benchmark::State& state)
{
    const QList<Account> accounts = makeAccounts(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(AccountsFile::encode(accounts));
}

void saveAccounts(benchmark::State& state)
{
    StoreFixture fixture(int(state.range(0)));
    for (auto _ : state)
        fixture.store->save();
}

} // namespace

BENCHMARK(reloadUnchanged)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(reloadRewritten)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(sortAccounts)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(encodeAccounts)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(saveAccounts)->Arg(1000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
