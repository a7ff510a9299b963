#include "E2E.h"

using namespace E2E;
using namespace std::chrono_literals;

// What listens on the provider's port.
enum class Server { None, Trusted, Untrusted };
Q_DECLARE_METATYPE(Server)

// One program on the harness's default desktop, its cases in this order: the shrink shortcut, a
// burst of presses, the XEmbed tray's batches, a restart and its Recent links, the network
// failing, and the tray's Quit last. Run with --tray=sni (E2E.TrayMenuTest.sni) for
// statusNotifierMenuAtThePointer alone. The program gives up on an answer after 5 s: long enough
// for the burst's queue, short for the tests' waits.
class ShrinkAndTrayTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariable("FERROWICK_HARNESS") != u"1"_s)
            QSKIP("only in the headless harness: never the user's clipboard or display");
        // Only its certificate: the program trusts it whoever serves it (a stopped provider
        // keeps its files).
        QVERIFY(m_trusted.start() && m_trusted.stop());
        QVERIFY(serve(Server::Trusted));
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
        m_app = std::make_unique<App>(m_provider);
        m_app->setEnvironmentVariable(u"FERROWICK_CA_FILE"_s, m_trusted.caFile());
        // Short enough for the stalled answer, long enough for the burst's last request, which
        // Qt times from when it was queued, in the sanitizer build on a loaded machine.
        m_app->setEnvironmentVariable(u"FERROWICK_HTTP_TIMEOUT_MS"_s, u"15000"_s);
        QVERIFY(m_app->start());
        // The batches are in the menu before the languages are asked for.
        QTRY_VERIFY_WITH_TIMEOUT(requestBody(m_provider, u"/api/valid_languages"_s), patienceMs);
    }

    void cleanupTestCase()
    {
        if (m_app)
            QVERIFY(m_app->stop());
    }

    void shortcutShrinksTheClipboard()
    {
        ClipboardOwner owner;
        QVERIFY(owner.set("https://example.com/a?q=1&r=a+b"));
        const qsizetype seen = notices().size();
        QVERIFY(pressKeys({ shrinkKeys }));
        QTRY_VERIFY2_WITH_TIMEOUT(
            clipboard().startsWith(m_provider.origin().toEncoded() + "/s/"), logDump(), patienceMs);
        QTRY_COMPARE_WITH_TIMEOUT(notices().value(seen),
            u"The url has been copied to your clipboard\n\n"_s + QString::fromUtf8(clipboard()),
            patienceMs);
    }

    // Presses faster than the provider answers: each one shrinks once and tells so once.
    void burstOfPresses()
    {
        ClipboardOwner owner;
        QVERIFY(owner.set("https://example.com/burst"));
        // Six connections at a time, 5 ms each: the presses come faster and wait for a connection.
        QVERIFY(m_provider.misbehave({ .path = u"/api/shrink"_s, .count = 0, .delay = 5ms }));
        constexpr int presses = 500;
        const qsizetype hotkeys = logLines(u"hotkey: newShrink"_s).size();
        const qsizetype copied = logLines(u"newShrink outcome: copied"_s).size();
        const qsizetype seen = notices().size();
        QVERIFY(pressKeys(QStringList { u"--delay"_s, u"0"_s } + QStringList(presses, shrinkKeys)));
        // The presses are logged at once, the notices last: a doubled press is in the log by then.
        QTRY_VERIFY2_WITH_TIMEOUT(notices().size() >= seen + presses, logDump(), 120'000);
        QCOMPARE(logLines(u"hotkey: newShrink"_s).size(), hotkeys + presses);
        // An outcome is logged after its notice, by the log's own thread: it may trail behind.
        QTRY_COMPARE_WITH_TIMEOUT(
            logLines(u"newShrink outcome: copied"_s).size(), copied + presses, patienceMs);
        QCOMPARE(notices().size(), seen + presses);
    }

    void batchOpensItsPage()
    {
        if (qEnvironmentVariable("FERROWICK_TRAY") != u"trayer"_s)
            QSKIP("needs the harness's XEmbed tray");
        QVERIFY(openMenu());
        // New Batch, New Shrink, New Paste, Batches: into its submenu.
        QVERIFY(pressKeys({ u"Down"_s, u"Down"_s, u"Down"_s, u"Down"_s, u"Right"_s }));
        QVERIFY(waitForWindows({}, 3));
        QVERIFY(pressKeys({ u"Return"_s }));
        QTRY_COMPARE_WITH_TIMEOUT(m_app->opened(),
            QStringList { u"https://demo.ferrowick.app/holiday-photos"_s }, patienceMs);
        QVERIFY(waitForWindows({}, 1));
    }

    // A link shrunk before a restart is in the Recent submenu after it, and choosing it copies
    // the link again.
    void recentSurvivesARestart()
    {
        if (qEnvironmentVariable("FERROWICK_TRAY") != u"trayer"_s)
            QSKIP("needs the harness's XEmbed tray");
        QByteArray shortLink;
        {
            ClipboardOwner owner;
            QVERIFY(owner.set("https://example.com/recent?q=1"));
            QVERIFY(pressKeys({ shrinkKeys }));
            QTRY_VERIFY2_WITH_TIMEOUT(
                (shortLink = clipboard()).startsWith(m_provider.origin().toEncoded() + "/s/"),
                logDump(), patienceMs);
        }
        QVERIFY(m_app->stop());
        QVERIFY(m_app->start());
        QVERIFY(openMenu());
        // New Batch, New Shrink, New Paste, Batches, Recent: its first row is the newest.
        QVERIFY(pressKeys({ u"Down"_s, u"Down"_s, u"Down"_s, u"Down"_s, u"Down"_s, u"Right"_s }));
        QVERIFY(waitForWindows({}, 3));
        QVERIFY(pressKeys({ u"Return"_s }));
        QTRY_COMPARE_WITH_TIMEOUT(clipboard(), shortLink, patienceMs);
        QVERIFY(waitForWindows({}, 1));
    }

    void faultEndsInANotice_data()
    {
        QTest::addColumn<Server>("server");
        QTest::addColumn<bool>("stalls");
        QTest::newRow("connection refused") << Server::None << false;
        QTest::newRow("answer after the timeout") << Server::Trusted << true;
        QTest::newRow("certificate of an unknown authority") << Server::Untrusted << false;
    }
    void faultEndsInANotice()
    {
        QFETCH(Server, server);
        QFETCH(bool, stalls);
        QVERIFY(serve(server));
        // Past every wait here: without the timeout no notice comes in time.
        if (stalls)
            QVERIFY(m_provider.misbehave({ .path = u"/api/shrink"_s, .delay = 10min }));
        ClipboardOwner owner;
        QVERIFY(owner.set("https://example.com/fault"));
        const qsizetype seen = notices().size();
        QVERIFY(pressKeys({ shrinkKeys }));
        QTRY_COMPARE_WITH_TIMEOUT(
            notices().value(seen), u"There was an issue contacting the API"_s, patienceMs);
        // The stalled answer was asked for over a trusted connection: the timeout ended it.
        QVERIFY(!stalls || requestBody(m_provider, u"/api/shrink"_s));
        QVERIFY(serve(Server::Trusted));
    }

    void quitEndsTheProgram()
    {
        if (qEnvironmentVariable("FERROWICK_TRAY") != u"trayer"_s)
            QSKIP("needs the harness's XEmbed tray");
        QVERIFY(openMenu());
        QVERIFY(pressKeys({ u"Up"_s, u"Return"_s })); // from the top round to the last row
        QVERIFY2(m_app->process().waitForFinished(patienceMs), logDump());
        QVERIFY(m_app->stop());
    }

    // A StatusNotifierItem host says nothing of where the icon is; a left click (Activate) opens
    // the menu at the pointer.
    void statusNotifierMenuAtThePointer()
    {
        if (qEnvironmentVariable("FERROWICK_TRAY") != u"sni"_s)
            QSKIP("needs the harness's StatusNotifierWatcher (--tray=sni)");
        QString item; // where the program's item registered with the watcher: "(<['NAME']>,)"
        QTRY_VERIFY2_WITH_TIMEOUT(
            !(item = gdbus(u"org.kde.StatusNotifierWatcher"_s, u"/StatusNotifierWatcher"_s,
                  { u"org.freedesktop.DBus.Properties.Get"_s, u"org.kde.StatusNotifierWatcher"_s,
                      u"RegisteredStatusNotifierItems"_s })
                         .section(u'\'', 1, 1))
                 .isEmpty(),
            logDump(), patienceMs);
        QVERIFY(run(u"xdotool"_s, { u"mousemove"_s, u"1100"_s, u"14"_s }));
        QVERIFY(!gdbus(item, u"/StatusNotifierItem"_s,
            { u"org.kde.StatusNotifierItem.Activate"_s, u"1100"_s, u"14"_s })
                     .isEmpty());
        QVERIFY(waitForWindows({}, 1));
        // What is under the pointer: "X=..\nY=..\nSCREEN=..\nWINDOW=ID\n".
        const auto pointer = run(u"xdotool"_s, { u"getmouselocation"_s, u"--shell"_s });
        QCOMPARE(QString::fromLatin1(pointer.value_or("=").split('=').last().trimmed()),
            windows().constFirst());
        QVERIFY(pressKeys({ u"Escape"_s }));
    }

private:
    // A left click on the tray icon, Ferrowick's only window while nothing else is open, until
    // its menu is up.
    static bool openMenu()
    {
        return waitForWindows({}, 1) &&
            run(u"xdotool"_s,
                { u"mousemove"_s, u"--window"_s, windows().constFirst(), u"5"_s, u"5"_s, u"click"_s,
                    u"1"_s }) &&
            waitForWindows({}, 2);
    }

    // A method call through gdbus: its answer as text, empty if it failed.
    static QString gdbus(const QString &name, const QString &path, const QStringList &call)
    {
        const QStringList to { u"call"_s, u"--session"_s, u"--dest"_s, name, u"--object-path"_s,
            path, u"--method"_s };
        return QString::fromUtf8(run(u"gdbus"_s, to + call).value_or(QByteArray()));
    }

    // Puts that server on the provider's port (any port at first); the program's service URLs are
    // fixed at its start. An untrusted one has a fresh certificate of an unknown authority.
    bool serve(Server server)
    {
        const auto port = quint16(m_provider.origin().port(0));
        return (!m_provider.isRunning() || m_provider.stop()) &&
            (server == Server::None ||
                m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s,
                                       { u"holiday-photos"_s, u"scans"_s } } },
                    .certificateFiles = server == Server::Trusted
                        ? std::optional(m_trusted.certificateFiles())
                        : std::nullopt,
                    .port = port }));
    }

    FWTest::FakeProviderProcess m_trusted;
    FWTest::FakeProviderProcess m_provider;
    std::unique_ptr<App> m_app;
};

QTEST_GUILESS_MAIN(ShrinkAndTrayTest)
#include "ShrinkAndTrayTest.moc"
