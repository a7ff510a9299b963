#include "platform/X11Hotkeys.h"

#include <FWKit/FWHotkeys.h>

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <X11/keysym.h>
#include <array>
#include <memory>
#include <utility>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

using namespace Ferrowick;
using FWKit::FWHotkeyAction;
using FWKit::FWHotkeyRef;
using namespace Qt::StringLiterals;

namespace {

constexpr std::uint16_t combo = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT;
// Xvfb's keymap puts Num Lock on Mod2 (the Num Lock row of the first test checks it).
constexpr std::uint16_t numLock = XCB_MOD_MASK_2;
constexpr std::array<std::uint16_t, 4> lockVariants { 0, XCB_MOD_MASK_LOCK, numLock,
    XCB_MOD_MASK_LOCK | numLock };

// The tool's output; nothing when it fails or hangs.
std::optional<QByteArray> run(const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(10'000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput();
}

bool xdotool(const QStringList &arguments)
{
    return run(u"xdotool"_s, arguments).has_value();
}

bool press(const QString &key)
{
    return xdotool({ u"key"_s, u"ctrl+alt+shift+"_s + key });
}

// Another X client on the same display: what an application holding a shortcut is to the server.
class OtherClient
{
public:
    OtherClient()
        : m_connection(xcb_connect(nullptr, nullptr))
        , m_root(xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root)
    {
    }
    ~OtherClient() { xcb_disconnect(m_connection); }

    bool grab(xcb_keycode_t keycode, std::uint16_t modifiers)
    {
        const xcb_void_cookie_t cookie = xcb_grab_key_checked(
            m_connection, 1, m_root, modifiers, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t *error = xcb_request_check(m_connection, cookie);
        std::free(error);
        if (error == nullptr)
            m_grabs.push_back({ keycode, modifiers });
        return error == nullptr;
    }
    bool grabAllVariants(xcb_keycode_t keycode)
    {
        for (const std::uint16_t locks : lockVariants) {
            if (!grab(keycode, combo | locks))
                return false;
        }
        return true;
    }
    void ungrabAll()
    {
        for (const auto &[keycode, modifiers] : m_grabs)
            xcb_ungrab_key(m_connection, keycode, m_root, modifiers);
        m_grabs.clear();
        sync();
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
    void sync()
    {
        std::free(
            xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    std::vector<std::pair<xcb_keycode_t, std::uint16_t>> m_grabs;
};

// Passes everything to the real backend and records how its callback is used.
class WatchedBackend final : public FWKit::HotkeyBackend
{
public:
    explicit WatchedBackend(X11Hotkeys &inner)
        : m_inner(inner)
    {
    }

    bool inCallback = false;
    int callbacksReturned = 0;
    QList<std::pair<std::uint32_t, std::uint32_t>> calls;

    void installEventHandler(PressCallback callback) override
    {
        m_inner.installEventHandler([this, callback](std::uint32_t signature, std::uint32_t id) {
            inCallback = true;
            calls.append({ signature, id });
            callback(signature, id);
            inCallback = false;
            ++callbacksReturned;
        });
    }
    std::optional<FWHotkeyRef> registerHotkey(const FWKit::FWHotkeyDescriptor &d) override
    {
        return m_inner.registerHotkey(d);
    }
    void unregisterHotkey(FWHotkeyRef ref) override { m_inner.unregisterHotkey(ref); }

private:
    X11Hotkeys &m_inner;
};

struct Received
{
    FWHotkeyAction action;
    bool onMainThread;
    bool insideCallback;
    int callbacksReturned;
};

} // namespace

class X11HotkeysTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<OtherClient> m_other;
    std::unique_ptr<X11Hotkeys> m_x11;
    std::unique_ptr<WatchedBackend> m_watched;
    std::unique_ptr<FWKit::FWHotkeys> m_hotkeys;
    QList<FWHotkeyRef> m_refs;
    QList<Received> m_received;
    QString m_layoutToRestore;

    QList<FWHotkeyRef> registerHotkeys(const FWKit::FWHotkeyConfiguration &config)
    {
        const QList<FWHotkeyRef> refs =
            m_hotkeys->registerHotkeys(config, [this](FWHotkeyAction a) {
                m_received.append({ a, QThread::currentThread() == qApp->thread(),
                    m_watched->inCallback, m_watched->callbacksReturned });
            });
        m_refs += refs;
        return refs;
    }
    QList<FWHotkeyAction> actions() const
    {
        QList<FWHotkeyAction> result;
        for (const Received &received : m_received)
            result.append(received.action);
        return result;
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariable("FERROWICK_HARNESS") != u"1"_s)
            QSKIP("only in the headless harness: never the user's display");
        if (QGuiApplication::platformName() == u"xcb"_s)
            m_other = std::make_unique<OtherClient>();
    }
    void init()
    {
        const bool offXcbCase = QTest::currentTestFunction() == "refusesEverythingOffXcb"_ba;
        if (offXcbCase != (QGuiApplication::platformName() != u"xcb"_s))
            QSKIP(offXcbCase ? "needs a platform other than xcb" : "needs the xcb platform");
        m_x11 = std::make_unique<X11Hotkeys>();
        m_watched = std::make_unique<WatchedBackend>(*m_x11);
        m_hotkeys = std::make_unique<FWKit::FWHotkeys>(*m_watched);
        m_refs.clear();
        m_received.clear();
    }
    void cleanup()
    {
        if (m_hotkeys)
            m_hotkeys->unregister(m_refs);
        m_hotkeys.reset();
        m_watched.reset();
        m_x11.reset();
        if (!m_other)
            return;
        m_other->ungrabAll();
        if (!m_layoutToRestore.isEmpty())
            QVERIFY(run(u"setxkbmap"_s, { u"-layout"_s, std::exchange(m_layoutToRestore, {}) }));
        for (const auto &[mask, key] : { std::pair(XCB_MOD_MASK_LOCK, u"Caps_Lock"_s),
                 std::pair(XCB_MOD_MASK_2, u"Num_Lock"_s) }) {
            if (m_other->modifierState() & mask)
                QVERIFY(xdotool({ u"key"_s, key }));
            QTRY_VERIFY((m_other->modifierState() & mask) == 0);
        }
    }

    void defaultsFireOnTheMainThreadAfterTheCallback_data()
    {
        QTest::addColumn<QString>("lockKey");
        QTest::addColumn<int>("lockMask");
        QTest::newRow("no lock") << QString() << 0;
        QTest::newRow("Num Lock") << u"Num_Lock"_s << int(numLock);
        QTest::newRow("Caps Lock") << u"Caps_Lock"_s << int(XCB_MOD_MASK_LOCK);
    }
    void defaultsFireOnTheMainThreadAfterTheCallback()
    {
        QFETCH(QString, lockKey);
        QFETCH(int, lockMask);
        if (!lockKey.isEmpty()) {
            QVERIFY(xdotool({ u"key"_s, lockKey }));
            QTRY_COMPARE(m_other->modifierState() & lockMask, lockMask);
        }
        QCOMPARE(registerHotkeys(FWKit::FWHotkeyConfiguration::defaults()).size(), 4);
        for (const QString &key : { u"b"_s, u"o"_s, u"p"_s, u"s"_s })
            QVERIFY(press(key));
        QTRY_COMPARE(actions(),
            QList({ FWHotkeyAction::newBatch, FWHotkeyAction::openFerrowick,
                FWHotkeyAction::togglePaste, FWHotkeyAction::newShrink }));
        for (qsizetype i = 0; i < m_received.size(); ++i) {
            QVERIFY(m_received[i].onMainThread);
            QVERIFY(!m_received[i].insideCallback);
            QVERIFY(m_received[i].callbacksReturned > i);
        }
        QCOMPARE(m_watched->calls.size(), 4);
        QCOMPARE(m_watched->calls.last(), std::pair(FWKit::fwFourCharCode(u"sw1"), 4u));
    }

    void refusedWhileAnotherClientHoldsIt()
    {
        // Only the variant tried last is taken, so the variants granted before it must be undone.
        const xcb_keycode_t p = m_other->keycode(XK_p);
        QVERIFY(m_other->grab(p, combo | XCB_MOD_MASK_LOCK | numLock));
        QCOMPARE(registerHotkeys(FWKit::FWHotkeyConfiguration::defaults()).size(), 3);
        QVERIFY2(m_other->grabAllVariants(p), "a partial grab was left behind");

        QVERIFY(press(u"p"_s));
        QVERIFY(press(u"s"_s));
        QTRY_COMPARE(actions(), QList({ FWHotkeyAction::newShrink }));

        m_other->ungrabAll();
        FWKit::FWHotkeyConfiguration paste;
        paste.setCombo(FWHotkeyAction::togglePaste,
            FWKit::FWHotkeyConfiguration::defaults().combo(FWHotkeyAction::togglePaste));
        QCOMPARE(registerHotkeys(paste).size(), 1);
        QVERIFY(press(u"p"_s));
        QTRY_COMPARE(actions(), QList({ FWHotkeyAction::newShrink, FWHotkeyAction::togglePaste }));
    }

    void unregisterReleases()
    {
        const QList<FWHotkeyRef> refs = registerHotkeys(FWKit::FWHotkeyConfiguration::defaults());
        QCOMPARE(refs.size(), 4);
        m_hotkeys->unregister({ refs.last() }); // newShrink
        m_x11->unregisterHotkey(refs.last());
        m_x11->unregisterHotkey(FWHotkeyRef { 12345 });

        QVERIFY(m_other->grabAllVariants(m_other->keycode(XK_s)));
        m_other->ungrabAll();
        QVERIFY(press(u"s"_s));
        QVERIFY(press(u"b"_s));
        QTRY_COMPARE(actions(), QList({ FWHotkeyAction::newBatch }));
    }

    void destructionReleases()
    {
        QCOMPARE(registerHotkeys(FWKit::FWHotkeyConfiguration::defaults()).size(), 4);
        m_refs.clear();
        m_hotkeys.reset();
        m_watched.reset();
        m_x11.reset();
        QVERIFY(m_other->grabAllVariants(m_other->keycode(XK_s)));
    }

    void refusesWhatItCannotOrAlreadyDoesHold()
    {
        const FWKit::FWHotkeyDescriptor unknownKey { 200, 0x0B00, 0, 1 };
        QCOMPARE(m_x11->registerHotkey(unknownKey), std::nullopt);
        QCOMPARE(registerHotkeys(FWKit::FWHotkeyConfiguration::defaults()).size(), 4);
        const FWKit::FWHotkeyDescriptor again { 1, 0x0B00, 0, 4 };
        QCOMPARE(m_x11->registerHotkey(again), std::nullopt);
    }

    // On the French layout A is where Q was: the grab must move with it.
    void grabsFollowLayoutSwitches()
    {
        FWKit::FWHotkeyConfiguration config;
        config.setCombo(FWHotkeyAction::newBatch, FWKit::FWKeyCombo { 0, 0x0B00 }); // A
        QCOMPARE(registerHotkeys(config).size(), 1);
        const xcb_keycode_t usA = m_other->keycode(XK_a);
        const std::optional<QByteArray> query = run(u"setxkbmap"_s, { u"-query"_s });
        QVERIFY(query);
        const QRegularExpressionMatch layout =
            QRegularExpression(u"^layout:\\s*(\\S+)$"_s, QRegularExpression::MultilineOption)
                .match(QString::fromUtf8(*query));
        QVERIFY(layout.hasMatch());
        m_layoutToRestore = layout.captured(1);
        QVERIFY(run(u"setxkbmap"_s, { u"-layout"_s, u"fr"_s }));
        QTRY_VERIFY(m_other->keycode(XK_a) != usA);

        QTRY_VERIFY_WITH_TIMEOUT(
            press(u"a"_s) && actions().contains(FWHotkeyAction::newBatch), 10'000);
        QVERIFY2(m_other->grab(usA, combo), "the old keycode is still grabbed");
    }

    void refusesEverythingOffXcb()
    {
        QVERIFY(!m_x11->isAvailable());
        QVERIFY(registerHotkeys(FWKit::FWHotkeyConfiguration::defaults()).isEmpty());
        m_x11->unregisterHotkey(FWHotkeyRef { 1 });
    }
};

QTEST_MAIN(X11HotkeysTest)
#include "X11HotkeysTest.moc"
