#include "E2E.h"

#include <QUrl>

using namespace E2E;

namespace {

const QString panelTitle = u"Paste"_s;
const QString session = qEnvironmentVariable("FERROWICK_SESSION");

} // namespace

// One program in a Wayland session of the harness, without X. In KWin (--session=kwin) the
// desktop portal binds its shortcuts in KWin's shortcut service and the clipboard is read through
// the data-control protocol, and keys are typed through KWin's fake input (tools/fake-keys); on
// the bare weston (--session=weston) neither exists and the user's commands (`ferrowick
// toggle-paste`, ...) are the only triggers. Each case names its session.
class WaylandSessionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (session != u"kwin"_s && session != u"weston"_s)
            QSKIP("only in the headless harness's Wayland sessions (--session=kwin|weston)");
        QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s, {} } } }));
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
        if (session == u"kwin"_s)
            QVERIFY(m_keys.start(QString::fromUtf8(FAKE_KEYS)));
        m_app = std::make_unique<App>(m_provider);
        QVERIFY2(m_app->start(), logDump());
    }

    void cleanupTestCase()
    {
        if (m_app)
            QVERIFY(m_app->stop());
    }

    // What the program found it can use, in its own words.
    void startLineNamesTheSession()
    {
        const QString expected = session == u"kwin"_s
            ? u"session: wayland, shortcuts: portal, clipboard: data-control"_s
            : u"session: wayland, shortcuts: commands, clipboard: none"_s;
        QVERIFY2(QString::fromUtf8(readAll(logFile)).contains(expected), logDump());
    }

    // The same shrink, from a key KWin matched and from the user's bound command.
    void kwinShrinksTheClipboard_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("byShortcut");
        QTest::newRow("shortcut") << u"https://example.com/by-key?q=1"_s << true;
        QTest::newRow("command") << u"https://example.com/by-command"_s << false;
    }
    void kwinShrinksTheClipboard()
    {
        if (session != u"kwin"_s)
            QSKIP("for --session=kwin");
        QFETCH(QString, url);
        QFETCH(bool, byShortcut);
        ClipboardOwner owner;
        QVERIFY(owner.set(url.toUtf8()));
        if (byShortcut) {
            // Bound once the portal has answered the program, after its start.
            QTRY_VERIFY2_WITH_TIMEOUT(
                !shortcutComponent(u"newShrink"_s).isEmpty(), logDump(), patienceMs);
            QVERIFY(invokeShortcut(u"newShrink"_s));
        } else {
            QVERIFY(m_app->startSecond({ u"shrink-clipboard"_s }));
        }
        QTRY_VERIFY2_WITH_TIMEOUT(
            clipboard().startsWith(m_provider.origin().toEncoded() + "/s/"), logDump(), patienceMs);
    }

    // Wayland gives the keyboard only to a window the compositor activated: the panel must be
    // it to be typed in.
    void kwinShortcutOpensThePanelToTypeIn()
    {
        if (session != u"kwin"_s)
            QSKIP("for --session=kwin");
        QTRY_VERIFY2_WITH_TIMEOUT(
            !shortcutComponent(u"togglePaste"_s).isEmpty(), logDump(), patienceMs);
        // Held past the keyboard's repeat delay, as a user does: one panel, not a flicker.
        QVERIFY(m_keys.send(u"down ctrl+alt+shift+p"_s));
        QTest::qWait(1'500);
        QVERIFY(m_keys.send(u"up ctrl+alt+shift+p"_s));
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), panelTitle, patienceMs);
        QCOMPARE(logLines(u"hotkey: togglePaste"_s).size(), 1);
        const QString text = u"puts \"50% & more\" # 1 + 1 = 2"_s;
        secrets.insert(text.toUtf8(), u"pasted text"_s);
        QVERIFY(m_keys.send(u"type "_s + text) && m_keys.send(u"key ctrl+Return"_s));
        QTRY_VERIFY2_WITH_TIMEOUT(requestBody(m_provider, u"/api/paste"_s)
                                      .value_or(QByteArray())
                                      .endsWith("paste=" + QUrl::toPercentEncoding(text)),
            logDump(), patienceMs);
        QTRY_VERIFY2_WITH_TIMEOUT(
            clipboard().startsWith(m_provider.origin().toEncoded() + "/p/"), logDump(), patienceMs);
    }

    void westonCommandOpensThePanel()
    {
        if (session != u"weston"_s)
            QSKIP("for --session=weston");
        QVERIFY(m_app->startSecond({ u"toggle-paste"_s }));
        QTRY_VERIFY2_WITH_TIMEOUT(westonWindows().contains(panelTitle), logDump(), patienceMs);
    }

    // No client may read the clipboard in the background there: the user is told, nothing hangs.
    void westonShrinkEndsInANotice()
    {
        if (session != u"weston"_s)
            QSKIP("for --session=weston");
        const qsizetype seen = notices().size();
        QVERIFY(m_app->startSecond({ u"shrink-clipboard"_s }));
        QTRY_VERIFY2_WITH_TIMEOUT(notices().size() > seen, logDump(), patienceMs);
        QCOMPARE(m_app->process().state(), QProcess::Running);
    }

    void westonQuitCommandEndsTheProgram()
    {
        if (session != u"weston"_s)
            QSKIP("for --session=weston");
        QVERIFY(m_app->startSecond({ u"quit"_s }));
        QVERIFY2(m_app->process().waitForFinished(patienceMs), logDump());
        QVERIFY(m_app->stop()); // status 0, no secret outside the keyring
    }

private:
    FWTest::FakeProviderProcess m_provider;
    FakeKeys m_keys;
    std::unique_ptr<App> m_app;
};

QTEST_GUILESS_MAIN(WaylandSessionTest)
#include "WaylandSessionTest.moc"
