#include "platform/X11Hotkeys.h"

#include "AppTestSupport.h"

#include <FWKit/FWHotkeys.h>

#include <QRegularExpression>

#include <X11/keysym.h>
#include <array>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

using namespace Ferrowick;
using namespace FWKit;
using namespace Qt::StringLiterals;
using FWTest::runTool;

namespace {

constexpr std::uint16_t combo = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT;
// Xvfb's keymap puts Num Lock on Mod2 (the Num Lock row of the first test checks it).
constexpr std::uint16_t numLock = XCB_MOD_MASK_2;
constexpr std::array<std::uint16_t, 4> lockVariants { 0, XCB_MOD_MASK_LOCK, numLock,
    XCB_MOD_MASK_LOCK | numLock };

bool xdotoolKey(const QString &key)
{
    return runTool(u"xdotool"_s, { u"key"_s, key }).has_value();
}

bool press(const QString &key)
{
    return xdotoolKey(u"ctrl+alt+shift+"_s + key);
}

// Another X client on the same display: what an application holding a shortcut is to the server.
class OtherClient
{
public:
    ~OtherClient() { xcb_disconnect(m_connection); }

    bool grab(xcb_keycode_t keycode, std::uint16_t modifiers)
    {
        xcb_generic_error_t *error = xcb_request_check(m_connection,
            xcb_grab_key_checked(m_connection, 1, m_root, modifiers, keycode, XCB_GRAB_MODE_ASYNC,
                XCB_GRAB_MODE_ASYNC));
        std::free(error);
        if (error == nullptr)
            m_grabs.push_back({ keycode, modifiers });
        return error == nullptr;
    }
    // Whether nobody else holds any lock variant of the combination on the key.
    bool grabAllVariants(xcb_keycode_t keycode)
    {
        for (const std::uint16_t locks : lockVariants)
            if (!grab(keycode, combo | locks))
                return false;
        return true;
    }
    void ungrabAll()
    {
        for (const auto &[keycode, modifiers] : m_grabs)
            xcb_ungrab_key(m_connection, keycode, m_root, modifiers);
        m_grabs.clear();
        std::free(
            xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }
    xcb_keycode_t keycode(xcb_keysym_t keysym)
    {
        xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(m_connection);
        xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, keysym);
        const xcb_keycode_t first = codes ? codes[0] : 0;
        std::free(codes);
        xcb_key_symbols_free(symbols);
        return first;
    }
    std::uint16_t modifierState()
    {
        xcb_query_pointer_reply_t *reply =
            xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr);
        const std::uint16_t mask = reply ? reply->mask : 0;
        std::free(reply);
        return mask;
    }

private:
    xcb_connection_t *m_connection = xcb_connect(nullptr, nullptr);
    xcb_window_t m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    std::vector<std::pair<xcb_keycode_t, std::uint16_t>> m_grabs;
};

// Counts the presses of one keycode that reach the application, repeats included, before the
// backend's filter sees them (the filter installed last runs first).
class PressCounter : public QAbstractNativeEventFilter
{
public:
    explicit PressCounter(xcb_keycode_t keycode)
        : m_keycode(keycode)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~PressCounter() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray &, void *message, qintptr *) override
    {
        const auto *event = static_cast<const xcb_key_press_event_t *>(message);
        presses += (event->response_type & ~0x80) == XCB_KEY_PRESS && event->detail == m_keycode;
        return false;
    }

    int presses = 0;

private:
    xcb_keycode_t m_keycode;
};

} // namespace

class X11HotkeysTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<OtherClient> m_other;
    std::unique_ptr<X11Hotkeys> m_x11;
    std::unique_ptr<FWHotkeys> m_hotkeys;
    QList<FWHotkeyRef> m_refs;
    QList<FWHotkeyAction> m_pressed;
    QString m_layoutToRestore;

    QList<FWHotkeyRef> registerHotkeys(const FWHotkeyConfiguration &config)
    {
        const QList<FWHotkeyRef> refs =
            m_hotkeys->registerHotkeys(config, [this](FWHotkeyAction a) { m_pressed << a; });
        m_refs += refs;
        return refs;
    }

private slots:
    void initTestCase()
    {
        SKIP_OUTSIDE_HARNESS();
        if (QGuiApplication::platformName() == u"xcb"_s)
            m_other = std::make_unique<OtherClient>();
    }
    void init()
    {
        const bool offXcbCase = QTest::currentTestFunction() == "refusesEverythingOffXcb"_ba;
        if (offXcbCase == bool(m_other))
            QSKIP(offXcbCase ? "needs a platform other than xcb" : "needs the xcb platform");
        m_x11 = std::make_unique<X11Hotkeys>();
        m_hotkeys = std::make_unique<FWHotkeys>(*m_x11);
        m_refs.clear();
        m_pressed.clear();
    }
    void cleanup()
    {
        if (m_hotkeys)
            m_hotkeys->unregister(m_refs);
        m_hotkeys.reset();
        m_x11.reset();
        if (!m_other)
            return;
        m_other->ungrabAll();
        if (!m_layoutToRestore.isEmpty())
            QVERIFY(
                runTool(u"setxkbmap"_s, { u"-layout"_s, std::exchange(m_layoutToRestore, {}) }));
        for (const auto &[mask, key] : { std::pair(XCB_MOD_MASK_LOCK, u"Caps_Lock"_s),
                 std::pair(XCB_MOD_MASK_2, u"Num_Lock"_s) }) {
            if (m_other->modifierState() & mask)
                QVERIFY(xdotoolKey(key));
            QTRY_VERIFY((m_other->modifierState() & mask) == 0);
        }
    }

    void defaultsFire_data()
    {
        QTest::addColumn<QString>("lockKey");
        QTest::addColumn<int>("lockMask");
        QTest::newRow("no lock") << QString() << 0;
        QTest::newRow("Num Lock") << u"Num_Lock"_s << int(numLock);
        QTest::newRow("Caps Lock") << u"Caps_Lock"_s << int(XCB_MOD_MASK_LOCK);
    }
    void defaultsFire()
    {
        QFETCH(QString, lockKey);
        QFETCH(int, lockMask);
        if (!lockKey.isEmpty()) {
            QVERIFY(xdotoolKey(lockKey));
            QTRY_COMPARE(m_other->modifierState() & lockMask, lockMask);
        }
        QCOMPARE(registerHotkeys(FWHotkeyConfiguration::defaults()).size(), 4);
        for (const QString &key : { u"b"_s, u"o"_s, u"p"_s, u"s"_s })
            QVERIFY(press(key));
        QTRY_COMPARE(m_pressed,
            QList({ FWHotkeyAction::newBatch, FWHotkeyAction::openFerrowick,
                FWHotkeyAction::togglePaste, FWHotkeyAction::newShrink }));
    }

    // X repeats a held key as further presses; each physical press is one action. (Fast separate
    // presses each count: the end-to-end burst of presses shows it.)
    void heldKeyFiresOnce()
    {
        QCOMPARE(registerHotkeys(FWHotkeyConfiguration::defaults()).size(), 4);
        PressCounter counter(m_other->keycode(XK_s));
        QVERIFY(runTool(u"xdotool"_s, { u"keydown"_s, u"ctrl+alt+shift+s"_s }));
        QTRY_VERIFY(counter.presses >= 3);
        QVERIFY(runTool(u"xdotool"_s, { u"keyup"_s, u"s+shift+alt+ctrl"_s }));
        QVERIFY(press(u"s"_s));
        QTRY_COMPARE(m_pressed, QList<FWHotkeyAction>(2, FWHotkeyAction::newShrink));
    }

    void refusedWhileAnotherClientHoldsIt()
    {
        // Only the variant tried last is taken, so the variants granted before it must be undone.
        const xcb_keycode_t p = m_other->keycode(XK_p);
        QVERIFY(m_other->grab(p, combo | XCB_MOD_MASK_LOCK | numLock));
        QCOMPARE(registerHotkeys(FWHotkeyConfiguration::defaults()).size(), 3);
        QVERIFY2(m_other->grabAllVariants(p), "a partial grab was left behind");

        QVERIFY(press(u"p"_s));
        QVERIFY(press(u"s"_s));
        QTRY_COMPARE(m_pressed, QList({ FWHotkeyAction::newShrink }));

        m_other->ungrabAll();
        FWHotkeyConfiguration paste;
        paste.setCombo(FWHotkeyAction::togglePaste,
            FWHotkeyConfiguration::defaults().combo(FWHotkeyAction::togglePaste));
        QCOMPARE(registerHotkeys(paste).size(), 1);
        QVERIFY(press(u"p"_s));
        QTRY_COMPARE(m_pressed, QList({ FWHotkeyAction::newShrink, FWHotkeyAction::togglePaste }));
    }

    void unregisterAndDestructionRelease()
    {
        const QList<FWHotkeyRef> refs = registerHotkeys(FWHotkeyConfiguration::defaults());
        QCOMPARE(refs.size(), 4);
        m_hotkeys->unregister({ refs.last() }); // newShrink
        m_x11->unregisterHotkey(refs.last()); // twice, and one never given: nothing happens
        m_x11->unregisterHotkey(FWHotkeyRef { 12345 });
        QVERIFY(m_other->grabAllVariants(m_other->keycode(XK_s)));
        m_other->ungrabAll();
        QVERIFY(press(u"s"_s));
        QVERIFY(press(u"b"_s));
        QTRY_COMPARE(m_pressed, QList({ FWHotkeyAction::newBatch }));

        m_refs.clear();
        m_hotkeys.reset();
        m_x11.reset();
        QVERIFY(m_other->grabAllVariants(m_other->keycode(XK_b)));
    }

    void refusesWhatItCannotOrAlreadyDoesHold()
    {
        QCOMPARE(m_x11->registerHotkey({ 200, 0x0B00, 0, 1 }), std::nullopt); // not in the table
        QCOMPARE(registerHotkeys(FWHotkeyConfiguration::defaults()).size(), 4);
        QCOMPARE(m_x11->registerHotkey({ 1, 0x0B00, 0, 4 }), std::nullopt);
    }

    // On the French layout A is where Q was: the grab must move with it.
    void grabsFollowLayoutSwitches()
    {
        FWHotkeyConfiguration config;
        config.setCombo(FWHotkeyAction::newBatch, FWKeyCombo { 0, 0x0B00 }); // A
        QCOMPARE(registerHotkeys(config).size(), 1);
        const xcb_keycode_t usA = m_other->keycode(XK_a);
        const std::optional<QByteArray> query = runTool(u"setxkbmap"_s, { u"-query"_s });
        QVERIFY(query);
        const QRegularExpressionMatch layout =
            QRegularExpression(u"^layout:\\s*(\\S+)$"_s, QRegularExpression::MultilineOption)
                .match(QString::fromUtf8(*query));
        QVERIFY(layout.hasMatch());
        m_layoutToRestore = layout.captured(1);
        QVERIFY(runTool(u"setxkbmap"_s, { u"-layout"_s, u"fr"_s }));
        QTRY_VERIFY(m_other->keycode(XK_a) != usA);

        QTRY_VERIFY_WITH_TIMEOUT(
            press(u"a"_s) && m_pressed.contains(FWHotkeyAction::newBatch), 10'000);
        QVERIFY2(m_other->grab(usA, combo), "the old keycode is still grabbed");
    }

    void refusesEverythingOffXcb()
    {
        QVERIFY(!m_x11->isAvailable());
        QVERIFY(registerHotkeys(FWHotkeyConfiguration::defaults()).isEmpty());
        m_x11->unregisterHotkey(FWHotkeyRef { 1 });
    }
};

QTEST_MAIN(X11HotkeysTest)
#include "X11HotkeysTest.moc"
