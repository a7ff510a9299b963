#include "E2E.h"

#include <QUrl>

#include <xcb/xcb.h>

using namespace E2E;

namespace {

const QString settingsTitle = u"Ferrowick Settings"_s;
const QString panelTitle = u"Paste"_s;

// Whether another client holds the keyboard, as the shortcut recorder does while it records. The
// server tells only by trying: the grab and its release go out in one write, which it handles in
// one go, so a granted grab never stands in the recorder's way.
bool keyboardGrabbed()
{
    xcb_connection_t *x = xcb_connect(nullptr, nullptr);
    const xcb_grab_keyboard_cookie_t cookie =
        xcb_grab_keyboard(x, 0, xcb_setup_roots_iterator(xcb_get_setup(x)).data->root,
            XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_ungrab_keyboard(x, XCB_CURRENT_TIME);
    xcb_grab_keyboard_reply_t *reply = xcb_grab_keyboard_reply(x, cookie, nullptr);
    const bool grabbed = reply && reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
    std::free(reply);
    xcb_disconnect(x);
    return grabbed;
}

} // namespace

// One program on a desktop with a window manager (focus, frames), from its first start with an
// empty keyring: the settings window asks for credentials, the paste panel sends a paste, a second
// start opens the settings again and a shortcut recorded there outlives a restart. In this order.
class SettingsAndPasteTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariable("FERROWICK_WM") != u"openbox"_s)
            QSKIP("needs the harness with its window manager (--wm): focus and frames are used");
        QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s, {} } } }));
        // A server with actions on its notices, as most desktops' are, before the program asks.
        const QStringList offered = callBus(u"org.freedesktop.Notifications"_s,
            u"/org/freedesktop/Notifications"_s, u"org.freedesktop.Notifications.GetCapabilities"_s)
                                        .arguments()
                                        .value(0)
                                        .toStringList();
        QVERIFY(callBus(u"org.freedesktop.Notifications"_s, u"/org/freedesktop/Notifications"_s,
                    u"org.freedesktop.DBus.Mock.AddMethod"_s,
                    { u"org.freedesktop.Notifications"_s, u"GetCapabilities"_s, QString(), u"as"_s,
                        u"ret = ['%1', 'actions']"_s.arg(offered.join(u"', '"_s)) })
                    .type() == QDBusMessage::ReplyMessage);
        m_app = std::make_unique<App>(m_provider);
    }

    void cleanupTestCase()
    {
        if (m_app)
            QVERIFY(m_app->stop());
    }

    // The window opens by itself, the login field first; what is saved there reaches the keyring
    // and signs in.
    void firstStartAsksForCredentials()
    {
        QVERIFY(m_app->start());
        QVERIFY2(!focusedWindow(settingsTitle).isEmpty(), logDump());
        noteCredentials(u"demo"_s, u"demo-password-1"_s);
        QVERIFY(typeText(u"demo"_s) && pressKeys({ u"Tab"_s }));
        QVERIFY(typeText(u"demo-password-1"_s) && pressKeys({ u"Return"_s }));
        QVERIFY2(waitForWindows(settingsTitle, 0), logDump());
        QCOMPARE(keyring({ u"lookup"_s }, u"login"_s), QByteArray("demo"));
        QCOMPARE(keyring({ u"lookup"_s }, u"password"_s), QByteArray("demo-password-1"));
        QTRY_VERIFY2_WITH_TIMEOUT(
            requestBody(m_provider, u"/api/list/demo"_s), logDump(), patienceMs);
    }

    void pasteReachesTheProvider()
    {
        // The launch asks for the languages; the picker is used once they are in.
        QTRY_VERIFY_WITH_TIMEOUT(requestBody(m_provider, u"/api/valid_languages"_s), patienceMs);
        QVERIFY(pressKeys({ pasteKeys }));
        const QString panel = focusedWindow(panelTitle);
        QVERIFY2(!panel.isEmpty(), logDump());
        const QString text = u"puts \"50% & more\" # 1 + 1 = 2"_s;
        secrets.insert(text.toUtf8(), u"pasted text"_s);
        QVERIFY(typeText(text));
        // Back over Submit to the language picker; "ru" picks Ruby before Rust.
        QVERIFY(pressKeys({ u"shift+Tab"_s, u"shift+Tab"_s }) && typeText(u"ru"_s));
        QVERIFY(pressKeys({ u"ctrl+Return"_s }));
        QTRY_COMPARE_WITH_TIMEOUT(requestBody(m_provider, u"/api/paste"_s),
            "language=Ruby&paste=" + QUrl::toPercentEncoding(text), patienceMs);

        // The result sheet: a second window of that title, with the keyboard.
        QVERIFY2(!focusedWindow(panelTitle, panel).isEmpty(), logDump());
        const QString url = QString::fromUtf8(clipboard());
        QVERIFY2(url.startsWith(m_provider.origin().toString() + u"/p/"_s), qPrintable(url));
        QCOMPARE(m_provider.send("GET", QUrl(url)).body, text.toUtf8());
        QVERIFY(pressKeys({ u"space"_s })); // on OK
        QVERIFY2(waitForWindows(panelTitle, 0), logDump());
    }

    // The notice that the paste's link was copied: its Open takes the browser there.
    void copiedNoticeOpensItsLink()
    {
        const QString url = QString::fromUtf8(clipboard());
        QTRY_VERIFY_WITH_TIMEOUT(notices().value(notices().size() - 1).contains(url), patienceMs);
        // The mock numbers its notices from 1, in turn.
        const uint id = notices().size();
        const QVariantList signal { QVariant::fromValue(QDBusVariant(id)),
            QVariant::fromValue(QDBusVariant(u"open"_s)) };
        callBus(u"org.freedesktop.Notifications"_s, u"/org/freedesktop/Notifications"_s,
            u"org.freedesktop.DBus.Mock.EmitSignal"_s,
            { u"org.freedesktop.Notifications"_s, u"ActionInvoked"_s, u"us"_s, signal });
        QTRY_COMPARE_WITH_TIMEOUT(m_app->opened(), QStringList { url }, patienceMs);
    }

    // Ticked in General, the box writes the desktop's autostart entry; unticked, it is gone.
    void startAtLoginFromTheSettings()
    {
        const QString entry = qEnvironmentVariable("XDG_CONFIG_HOME") +
            u"/autostart/app.ferrowick.Ferrowick.desktop"_s;
        QVERIFY(m_app->startSecond());
        QVERIFY2(!focusedWindow(settingsTitle).isEmpty(), logDump());
        // From the login field over the password and Save to the box.
        QVERIFY(pressKeys({ u"Tab"_s, u"Tab"_s, u"Tab"_s, u"space"_s }));
        QTRY_VERIFY_WITH_TIMEOUT(readAll(entry).contains("\nExec=" FERROWICK_APP "\n"), patienceMs);
        QVERIFY(pressKeys({ u"space"_s }));
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(entry), patienceMs);
        QVERIFY(pressKeys({ u"Escape"_s }));
        QVERIFY2(waitForWindows(settingsTitle, 0), logDump());
    }

    void secondStartRecordsAShortcut()
    {
        QVERIFY(m_app->startSecond());
        QVERIFY2(!focusedWindow(settingsTitle).isEmpty(), logDump());
        // The Shortcuts pane, into its first recorder; on to Shrink's, the fourth, and record.
        QVERIFY(pressKeys({ u"ctrl+Tab"_s, u"Tab"_s, u"Tab"_s, u"Tab"_s, u"space"_s }));
        // Typed before the recorder holds the keyboard, the program's own shortcuts would take it.
        QTRY_VERIFY_WITH_TIMEOUT(keyboardGrabbed(), patienceMs);
        QVERIFY(pressKeys({ u"ctrl+alt+shift+k"_s }));
        // Shrink (4) on K (40), as QSettings writes it.
        QTRY_VERIFY_WITH_TIMEOUT(
            readAll(preferencesFile).contains(R"(4,{\"keyCode\":40,)"), patienceMs);
        for (int start = 1; start <= 2; ++start) { // K shrinks, after a restart too
            if (start == 2)
                QVERIFY(m_app->stop() && m_app->start());
            const qsizetype shrinks = logLines(u"hotkey: newShrink"_s).size();
            QVERIFY(pressKeys({ u"ctrl+alt+shift+k"_s }));
            QTRY_COMPARE_WITH_TIMEOUT(
                logLines(u"hotkey: newShrink"_s).size(), shrinks + 1, patienceMs);
        }
    }

private:
    FWTest::FakeProviderProcess m_provider;
    std::unique_ptr<App> m_app;
};

QTEST_GUILESS_MAIN(SettingsAndPasteTest)
#include "SettingsAndPasteTest.moc"
