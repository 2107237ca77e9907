#include "GeneralTab.h"
#include "HotKey.h"
#include "TestEnvironment.h"
#include "WidgetFinder.h"

#include <QProcess>
#include <QThread>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

// Real key presses on a real X server (Xvfb), sent with xdotool.
class TestHotKeyX11 : public QObject {
    Q_OBJECT

private:
    HotKey* m_hotKey = nullptr;
    int m_runs = 0;

    static void run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.start(program, arguments);
        QVERIFY2(process.waitForFinished(10000), qPrintable(program));
        QCOMPARE(process.exitCode(), 0);
    }

    static void press(const QString& keys) { run(QStringLiteral("xdotool"), {QStringLiteral("key"), keys}); }

    // Presses, then gives the X server and the event loop time to deliver.
    static bool generalTabSays(const char* text)
    {
        GeneralTab tab(QStringLiteral("Automatic"), {});
        const QList<QWidget*> sections = tab.sections();
        bool found = false;
        for (QWidget* section : sections) {
            found = found || WidgetFinder::label(section, QString::fromUtf8(text));
            delete section;
        }
        return found;
    }

    int runsAfter(const QString& keys)
    {
        const int before = m_runs;
        press(keys);
        QTest::qWait(300);
        return m_runs - before;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        m_hotKey = new HotKey(makeHotKeyBackend());
        m_hotKey->action = [this] {
            QCOMPARE(QThread::currentThread(), QCoreApplication::instance()->thread());
            ++m_runs;
        };
    }

    void cleanupTestCase() { delete m_hotKey; }

    void controlAltSRunsTheActionOnce()
    {
        m_hotKey->setEnabled(false);
        HotKey::shared().setEnabled(true);
        QVERIFY(generalTabSays("Ctrl+Alt+S opens the account menu from anywhere"));
        HotKey::shared().setEnabled(false);
        m_hotKey->setEnabled(true);
        QVERIFY(m_hotKey->isRegistered());
        QCOMPARE(runsAfter(QStringLiteral("ctrl+alt+s")), 1);
    }

    void otherModifierSetsDoNotFire_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::newRow("shift added") << "ctrl+alt+shift+s";
        QTest::newRow("super added") << "super+ctrl+alt+s";
        QTest::newRow("ctrl only") << "ctrl+s";
        QTest::newRow("alt only") << "alt+s";
        QTest::newRow("other letter") << "ctrl+alt+d";
    }

    void otherModifierSetsDoNotFire()
    {
        QFETCH(QString, keys);
        m_hotKey->setEnabled(true);
        QCOMPARE(runsAfter(keys), 0);
    }

    void lockKeysDoNotMatter_data()
    {
        QTest::addColumn<QString>("lock");
        QTest::newRow("NumLock") << "Num_Lock";
        QTest::newRow("CapsLock") << "Caps_Lock";
    }

    void lockKeysDoNotMatter()
    {
        QFETCH(QString, lock);
        m_hotKey->setEnabled(true);
        press(lock);
        const int runs = runsAfter(QStringLiteral("ctrl+alt+s"));
        press(lock);
        QCOMPARE(runs, 1);
    }

    void disarmedDoesNothingAndArmingTwiceFiresOnce()
    {
        m_hotKey->setEnabled(false);
        QCOMPARE(runsAfter(QStringLiteral("ctrl+alt+s")), 0);
        m_hotKey->setEnabled(true);
        m_hotKey->setEnabled(true);
        QCOMPARE(runsAfter(QStringLiteral("ctrl+alt+s")), 1);
    }

    void aGrabHeldByAnotherClientIsAbsorbed()
    {
        m_hotKey->setEnabled(false);
        // Another program holds Control+Alt+S.
        xcb_connection_t* other = xcb_connect(nullptr, nullptr);
        QVERIFY(!xcb_connection_has_error(other));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(other);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, 0x73);
        QVERIFY(codes && *codes != XCB_NO_SYMBOL);
        QVERIFY(!xcb_request_check(other, xcb_grab_key_checked(other, 1, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1,
                                                               codes[0], XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));

        QTest::ignoreMessage(QtWarningMsg, "Corvalink: Control+Alt+S is held by another program; the global "
                                           "shortcut is off");
        m_hotKey->setEnabled(true);
        QVERIFY(!m_hotKey->isRegistered());
        // The General tab says why the switch that is on does nothing.
        QTest::ignoreMessage(QtWarningMsg, "Corvalink: Control+Alt+S is held by another program; the global "
                                           "shortcut is off");
        HotKey::shared().setEnabled(true);
        QVERIFY(generalTabSays("Ctrl+Alt+S is taken by another program"));

        free(codes);
        xcb_key_symbols_free(symbols);
        xcb_disconnect(other);
        QTest::qWait(100);

        // The next arming tries again and gets it.
        m_hotKey->setEnabled(false);
        HotKey::shared().setEnabled(true);
        QVERIFY(generalTabSays("Ctrl+Alt+S opens the account menu from anywhere"));
        HotKey::shared().setEnabled(false);
        m_hotKey->setEnabled(true);
        QVERIFY(m_hotKey->isRegistered());
        QCOMPARE(runsAfter(QStringLiteral("ctrl+alt+s")), 1);
    }

    void aKeyboardMappingChangeIsFollowed()
    {
        m_hotKey->setEnabled(true);
        // Give s a second keycode: the grab must follow.
        run(QStringLiteral("xmodmap"), {QStringLiteral("-e"), QStringLiteral("keycode 200 = s")});
        QTest::qWait(300);
        QCOMPARE(runsAfter(QStringLiteral("ctrl+alt+200")), 1);
        run(QStringLiteral("xmodmap"), {QStringLiteral("-e"), QStringLiteral("keycode 200 =")});
    }

    // Desktops switch layouts through XKB, which sends no core mapping notice.
    void aLayoutSwitchIsFollowed()
    {
        m_hotKey->setEnabled(true);
        run(QStringLiteral("setxkbmap"), {QStringLiteral("us"), QStringLiteral("-variant"), QStringLiteral("dvorak")});
        QTest::qWait(300);
        QCOMPARE(runsAfter(QStringLiteral("ctrl+alt+s")), 1);
        QCOMPARE(runsAfter(QStringLiteral("ctrl+alt+o")), 0); // where s was before
        run(QStringLiteral("setxkbmap"), {QStringLiteral("us")});
        QTest::qWait(300);
        QCOMPARE(runsAfter(QStringLiteral("ctrl+alt+s")), 1);
    }
};

CORVALINK_TEST_MAIN(TestHotKeyX11)
#include "TestHotKeyX11.moc"
