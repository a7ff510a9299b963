#include "E2E.h"

#include <QSettings>

#include <X11/keysym.h>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

using namespace E2E;

namespace {

// Another X client holding a combination on the root window, as a desktop's own shortcut does.
// Only the exact modifiers: enough to refuse the program's grab of that combination.
class ForeignGrab
{
public:
    ForeignGrab()
        : m_connection(xcb_connect(nullptr, nullptr))
    {
    }
    ~ForeignGrab() { xcb_disconnect(m_connection); }
    ForeignGrab(const ForeignGrab &) = delete;
    ForeignGrab &operator=(const ForeignGrab &) = delete;

    bool grab(xcb_keysym_t keysym, std::uint16_t modifiers)
    {
        if (xcb_connection_has_error(m_connection))
            return false;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(m_connection);
        xcb_keycode_t *keycodes = xcb_key_symbols_get_keycode(symbols, keysym);
        bool grabbed = keycodes && *keycodes != XCB_NO_SYMBOL;
        for (const xcb_keycode_t *code = keycodes; code && *code != XCB_NO_SYMBOL; ++code) {
            const xcb_void_cookie_t cookie = xcb_grab_key_checked(
                m_connection, 1, root, modifiers, *code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
            if (xcb_generic_error_t *error = xcb_request_check(m_connection, cookie)) {
                std::free(error);
                grabbed = false;
            }
        }
        std::free(keycodes);
        xcb_key_symbols_free(symbols);
        return grabbed;
    }

private:
    xcb_connection_t *m_connection;
};

QStringList hotkeyMessages()
{
    return messagesStartingWith(u"hotkey: "_s);
}

} // namespace

// Which global shortcuts fire: the stored configuration's, and those no other client holds.
class ShortcutsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!inHarness())
            QSKIP("only in the headless harness: never the user's keyboard");
        QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"secret"_s, {} } } }));
    }

    void init()
    {
        QVERIFY(resetDesktop());
        QVERIFY(m_provider.reset());
        QVERIFY(storeCredentials(u"demo"_s, u"secret"_s));
    }

    // Each case ends with Ctrl+Alt+Shift+P: once its line is logged, every earlier press has
    // been handled (one X connection delivers them in order).
    void storedConfigurationIsTheOneThatFires()
    {
        {
            // As the settings window saves it: the defaults, but New Shrink on Ctrl+Alt+Shift+K.
            QSettings preferences(preferencesFile(), QSettings::NativeFormat);
            preferences.setValue(u"fwHotkeyConfiguration"_s,
                QByteArray(R"({"combos":[1,{"keyCode":11,"modifiers":2816},)"
                           R"(2,{"keyCode":31,"modifiers":2816},)"
                           R"(3,{"keyCode":35,"modifiers":2816},)"
                           R"(4,{"keyCode":40,"modifiers":2816}]})"));
            preferences.sync();
            QCOMPARE(preferences.status(), QSettings::NoError);
        }
        App app(m_provider);
        QVERIFY(app.start());
        QVERIFY(pressKeys({ u"ctrl+alt+shift+s"_s, u"ctrl+alt+shift+k"_s, u"ctrl+alt+shift+p"_s }));
        QVERIFY2(waitForLog(u"hotkey: togglePaste"_s), logDump());
        QCOMPARE(
            hotkeyMessages(), (QStringList { u"hotkey: newShrink"_s, u"hotkey: togglePaste"_s }));
        QVERIFY(app.stop());
    }

    void combinationHeldElsewhereLeavesTheOthers()
    {
        ForeignGrab other;
        QVERIFY(other.grab(XK_s, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT));
        App app(m_provider);
        QVERIFY(app.start());
        QVERIFY(pressKeys({ u"ctrl+alt+shift+s"_s, u"ctrl+alt+shift+b"_s, u"ctrl+alt+shift+o"_s,
            u"ctrl+alt+shift+p"_s }));
        QVERIFY2(waitForLog(u"hotkey: togglePaste"_s), logDump());
        QCOMPARE(hotkeyMessages(),
            (QStringList {
                u"hotkey: newBatch"_s, u"hotkey: openFerrowick"_s, u"hotkey: togglePaste"_s }));
        QVERIFY(app.waitForOpened(2));
        QStringList opened = app.opened(); // two browsers started at once: either may write first
        opened.sort();
        QCOMPARE(opened,
            (QStringList { u"https://demo.ferrowick.app/upload"_s, u"https://ferrowick.app/"_s }));
        QCOMPARE(app.process().state(), QProcess::Running);
        QVERIFY(app.stop());
    }

private:
    FWTest::FakeProviderProcess m_provider;
};

QTEST_GUILESS_MAIN(ShortcutsTest)
#include "ShortcutsTest.moc"
