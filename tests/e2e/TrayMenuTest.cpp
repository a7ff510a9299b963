#include "E2E.h"

using namespace E2E;

// The tray icon's menu, opened with the mouse and used with the keyboard.
class TrayMenuTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!inHarness())
            QSKIP("only in the headless harness: never the user's display");
        if (qEnvironmentVariable("FERROWICK_TRAY") != u"trayer"_s)
            QSKIP("needs the harness's tray");
        QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s,
                                       { u"holiday-photos"_s, u"scans"_s } } } }));
        QVERIFY(resetDesktop());
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
    }

    void batchOpensItsPage()
    {
        App app(m_provider);
        QVERIFY(app.start());
        // The batches are in the menu before the languages are asked for.
        QVERIFY(waitForRequest(m_provider, u"GET /api/valid_languages"_s));
        const QString icon = trayIcon();
        QVERIFY(!icon.isEmpty());

        QVERIFY(openMenu(icon, 2));
        // New Batch, New Shrink, New Paste, Batches: into its submenu.
        QVERIFY(pressKeys({ u"Down"_s, u"Down"_s, u"Down"_s, u"Down"_s, u"Right"_s }));
        QVERIFY(QTest::qWaitFor([] { return ferrowickWindows().size() == 3; }, patienceMs));
        QVERIFY(pressKeys({ u"Return"_s }));

        QVERIFY2(app.waitForOpened(1), logDump());
        QCOMPARE(app.opened(), QStringList { u"https://demo.ferrowick.app/holiday-photos"_s });
        QVERIFY(QTest::qWaitFor([] { return ferrowickWindows().size() == 1; }, patienceMs));
        QVERIFY(app.stop());
    }

    // Quit ends the program whatever is on screen, the paste panel included.
    void quitEndsTheProgram()
    {
        App app(m_provider);
        QVERIFY(app.start());
        const QString icon = trayIcon();
        QVERIFY(!icon.isEmpty());
        QVERIFY(pressKeys({ u"ctrl+alt+shift+p"_s }));
        QVERIFY2(waitForWindow(u"Paste"_s), logDump());

        QVERIFY(openMenu(icon, 3));
        QVERIFY(pressKeys({ u"Up"_s, u"Return"_s })); // from the top round to the last row
        QVERIFY2(app.process().waitForFinished(patienceMs), logDump());
        QCOMPARE(app.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.process().exitCode(), 0);
    }

private:
    // The icon docked in the tray: Ferrowick's only window while nothing else is open.
    static QString trayIcon()
    {
        QStringList windows;
        const bool alone =
            QTest::qWaitFor([&] { return (windows = ferrowickWindows()).size() == 1; }, patienceMs);
        return alone ? windows.constFirst() : QString();
    }

    // A left click on the icon, until the menu makes `windows` in all.
    static bool openMenu(const QString &icon, qsizetype windows)
    {
        return run(u"xdotool"_s,
                   { u"mousemove"_s, u"--window"_s, icon, u"5"_s, u"5"_s, u"click"_s, u"1"_s })
                   .ok &&
            QTest::qWaitFor([&] { return ferrowickWindows().size() == windows; }, patienceMs);
    }

    FWTest::FakeProviderProcess m_provider;
};

QTEST_GUILESS_MAIN(TrayMenuTest)
#include "TrayMenuTest.moc"
