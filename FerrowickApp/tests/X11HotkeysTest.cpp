#include "platform/X11Hotkeys.h"

#include "AppTestSupport.h"

#include <FWKit/FWHotkeys.h>

#include <xcb/xcb.h>

using namespace FWKit;
using namespace Qt::StringLiterals;
using FWTest::runTool;

// Plays another X client on the same display itself: what an application holding a shortcut is
// to the server.
class X11HotkeysTest : public QObject, QAbstractNativeEventFilter
{
    Q_OBJECT

    static constexpr auto combo = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT;
    // Xvfb's keyboard: Num Lock on Mod2, evdev keycodes.
    static constexpr int capsLock = XCB_MOD_MASK_LOCK, numLock = XCB_MOD_MASK_2;
    enum Key : xcb_keycode_t { keyQ = 24, keyO = 32, keyP = 33, keyA = 38, keyS = 39, keyB = 56 };

    xcb_connection_t *m_other =
        QGuiApplication::platformName() == u"xcb"_s ? xcb_connect(nullptr, nullptr) : nullptr;
    xcb_window_t m_root = m_other ? xcb_setup_roots_iterator(xcb_get_setup(m_other)).data->root : 0;
    Ferrowick::X11Hotkeys m_x11;
    FWHotkeys m_hotkeys { m_x11 };
    QList<FWHotkeyRef> m_refs;
    QList<FWHotkeyAction> m_pressed;
    int m_presses = 0; // of grabbed keys, repeats included

    // Installed after the backend's filter, it sees every event first.
    bool nativeEventFilter(const QByteArray &, void *message, qintptr *) override
    {
        m_presses += static_cast<xcb_generic_event_t *>(message)->response_type == XCB_KEY_PRESS;
        return false;
    }
    qsizetype registerHotkeys(const FWHotkeyConfiguration &config)
    {
        m_refs += m_hotkeys.registerHotkeys(config, [this](FWHotkeyAction a) { m_pressed << a; });
        return m_refs.size();
    }
    // Whether the other client could take the combination with each of these lock modifiers.
    bool otherGrabs(xcb_keycode_t key,
        std::initializer_list<int> locks = { 0, capsLock, numLock, capsLock | numLock })
    {
        return std::ranges::all_of(locks, [&](int lock) {
            xcb_generic_error_t *error = xcb_request_check(m_other,
                xcb_grab_key_checked(m_other, 1, m_root, combo | lock, key, XCB_GRAB_MODE_ASYNC,
                    XCB_GRAB_MODE_ASYNC));
            std::free(error);
            return error == nullptr;
        });
    }
    // The round trip has the server done with it before anything else goes on.
    void otherUngrabsAll()
    {
        xcb_ungrab_key(m_other, XCB_GRAB_ANY, m_root, XCB_MOD_MASK_ANY);
        std::free(xcb_get_input_focus_reply(m_other, xcb_get_input_focus(m_other), nullptr));
    }

private slots:
    void initTestCase() { SKIP_OUTSIDE_HARNESS(); }
    void cleanupTestCase()
    {
        if (m_other)
            xcb_disconnect(m_other);
    }
    // Unregistering releases every grab: another client can then take each combination (the other
    // client may grab again what it holds). After a layout switch the server may still be busy
    // with the keymap for a moment.
    void cleanup()
    {
        m_hotkeys.unregister(std::exchange(m_refs, {}));
        m_pressed.clear();
        if (m_other) {
            for (const Key key : { keyQ, keyO, keyP, keyA, keyS, keyB })
                QTRY_VERIFY2(otherGrabs(key), "a grab was left behind");
            otherUngrabsAll();
            QVERIFY(runTool(u"setxkbmap"_s, { u"-layout"_s, u"us"_s }));
        }
    }

    // The other client holds the variant of P tried last, so the variants granted before it must
    // be given back. Num Lock and Caps Lock are part of the combination the server sees: the
    // presses come with neither, one, both and the other; the same run of xdotool turns them off
    // again.
    void defaultsFireWhateverTheLocks()
    {
        QVERIFY(otherGrabs(keyP, { capsLock | numLock }));
        QCOMPARE(registerHotkeys(FWHotkeyConfiguration::defaults()), 3);
        QVERIFY2(otherGrabs(keyP), "a partial grab was left behind");
        QVERIFY(runTool(u"xdotool"_s,
            { u"key"_s, u"ctrl+alt+shift+b"_s, u"Num_Lock"_s, u"ctrl+alt+shift+o"_s, u"Caps_Lock"_s,
                u"ctrl+alt+shift+s"_s, u"Num_Lock"_s, u"ctrl+alt+shift+b"_s, u"Caps_Lock"_s }));
        QTRY_COMPARE(m_pressed,
            QList({ FWHotkeyAction::newBatch, FWHotkeyAction::openFerrowick,
                FWHotkeyAction::newShrink, FWHotkeyAction::newBatch }));
    }

    // X repeats a held key as further presses; each physical press is one action. (Fast separate
    // presses each count: the end-to-end burst of presses shows it.)
    void heldKeyFiresOnce()
    {
        QCOMPARE(registerHotkeys(FWHotkeyConfiguration::defaults()), 4);
        QCoreApplication::instance()->installNativeEventFilter(this);
        QVERIFY(runTool(u"xdotool"_s, { u"keydown"_s, u"ctrl+alt+shift+s"_s }));
        QTRY_VERIFY(m_presses >= 3);
        QCoreApplication::instance()->removeNativeEventFilter(this);
        QVERIFY(runTool(
            u"xdotool"_s, { u"keyup"_s, u"s+shift+alt+ctrl"_s, u"key"_s, u"ctrl+alt+shift+s"_s }));
        QTRY_COMPARE(m_pressed, QList<FWHotkeyAction>(2, FWHotkeyAction::newShrink));
    }

    // On the French layout A is where Q was: the grab must move with it.
    void grabsFollowLayoutSwitches()
    {
        FWHotkeyConfiguration config;
        config.setCombo(FWHotkeyAction::newBatch, FWKeyCombo { 0, 0x0B00 }); // A
        QCOMPARE(registerHotkeys(config), 1);
        QVERIFY(runTool(u"setxkbmap"_s, { u"-layout"_s, u"fr"_s }));
        QTRY_VERIFY_WITH_TIMEOUT(
            runTool(u"xdotool"_s, { u"key"_s, u"ctrl+alt+shift+a"_s }) && !m_pressed.isEmpty(),
            10'000);
        QVERIFY2(otherGrabs(keyA, { 0 }), "the old keycode is still grabbed");
    }

    void refusesEverythingOffXcb()
    {
        if (m_other)
            QSKIP("needs a platform other than xcb");
        QCOMPARE(registerHotkeys(FWHotkeyConfiguration::defaults()), 0);
    }
};

QTEST_MAIN(X11HotkeysTest)
#include "X11HotkeysTest.moc"
