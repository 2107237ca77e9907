#include "HotKey.h"
#include "TestEnvironment.h"

#include <QRegularExpression>
#include <QThread>

namespace {

// Counts what HotKey asks of the platform, and lets the test press the key.
struct FakeBackend : HotKeyBackend {
    int handlersInstalled = 0;
    int registrations = 0;
    int withdrawals = 0;
    bool refuse = false;
    std::function<void()> press;

    void installHandler(std::function<void()> onPress) override
    {
        ++handlersInstalled;
        press = std::move(onPress);
    }
    bool registerHotKey() override
    {
        if (refuse)
            return false;
        ++registrations;
        return true;
    }
    void unregisterHotKey() override { ++withdrawals; }
};

} // namespace

class TestHotKeyLogic : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void armingAndDisarming()
    {
        auto backend = std::make_unique<FakeBackend>();
        FakeBackend* fake = backend.get();
        HotKey hotKey(std::move(backend));

        hotKey.setEnabled(false);
        QCOMPARE(fake->handlersInstalled + fake->registrations + fake->withdrawals, 0);

        hotKey.setEnabled(true);
        hotKey.setEnabled(true);
        QCOMPARE(fake->handlersInstalled, 1);
        QCOMPARE(fake->registrations - fake->withdrawals, 1);
        QVERIFY(hotKey.isRegistered());

        hotKey.setEnabled(false);
        QCOMPARE(fake->registrations - fake->withdrawals, 0);
        QVERIFY(!hotKey.isRegistered());
        QCOMPARE(fake->handlersInstalled, 1);
    }

    void aRefusedRegistrationIsAbsorbedAndRetried()
    {
        auto backend = std::make_unique<FakeBackend>();
        FakeBackend* fake = backend.get();
        HotKey hotKey(std::move(backend));
        fake->refuse = true;
        hotKey.setEnabled(true);
        QVERIFY(!hotKey.isRegistered());
        hotKey.setEnabled(false);
        QCOMPARE(fake->withdrawals, 0); // nothing was registered, so nothing is withdrawn
        fake->refuse = false;
        hotKey.setEnabled(true);
        QVERIFY(hotKey.isRegistered());
    }

    void aPressIsQueuedNeverRunInsideTheHandler()
    {
        auto backend = std::make_unique<FakeBackend>();
        FakeBackend* fake = backend.get();
        HotKey hotKey(std::move(backend));
        hotKey.setEnabled(true);

        fake->press(); // no action set: nothing happens
        QCoreApplication::processEvents();

        int runs = 0;
        QThread* thread = nullptr;
        hotKey.action = [&] {
            ++runs;
            thread = QThread::currentThread();
        };
        fake->press();
        QCOMPARE(runs, 0);
        QTRY_COMPARE(runs, 1);
        QCOMPARE(thread, QCoreApplication::instance()->thread());
    }

    void withoutX11ArmingSaysSoOnce()
    {
        HotKey hotKey(makeHotKeyBackend()); // offscreen: no X11 connection
        QTest::ignoreMessage(QtWarningMsg, "Corvalink: no X11 connection, so the global shortcut Control+Alt+S is "
                                           "not available");
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        hotKey.setEnabled(true);
        hotKey.setEnabled(true);
        QVERIFY(!hotKey.isRegistered());
    }
};

CORVALINK_TEST_MAIN(TestHotKeyLogic)
#include "TestHotKeyLogic.moc"
