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
        if (qEnvironmentVariable("FERROWICK_TRAY") == u"none"_s)
            QSKIP("needs a tray");
        QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s,
                                       { u"holiday-photos"_s, u"scans"_s } } } }));
        QVERIFY(resetDesktop());
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
    }

    void batchOpensItsPage()
    {
        if (qEnvironmentVariable("FERROWICK_TRAY") != u"trayer"_s)
            QSKIP("needs the harness's XEmbed tray");
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
        if (qEnvironmentVariable("FERROWICK_TRAY") != u"trayer"_s)
            QSKIP("needs the harness's XEmbed tray");
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

    // A StatusNotifierItem host says nothing of where the icon is; a left click (Activate) opens
    // the menu at the pointer.
    void statusNotifierMenuAtThePointer()
    {
        if (qEnvironmentVariable("FERROWICK_TRAY") != u"sni"_s)
            QSKIP("needs the harness's StatusNotifierWatcher (--tray=sni)");
        App app(m_provider);
        QVERIFY(app.start());
        QString item;
        QVERIFY2(QTest::qWaitFor([&] { return !(item = registeredItem()).isEmpty(); }, patienceMs),
            logDump());
        QVERIFY(run(u"xdotool"_s, { u"mousemove"_s, u"1100"_s, u"14"_s }).ok);
        QVERIFY(run(u"gdbus"_s,
            { u"call"_s, u"--session"_s, u"--dest"_s, item, u"--object-path"_s,
                u"/StatusNotifierItem"_s, u"--method"_s, u"org.kde.StatusNotifierItem.Activate"_s,
                u"1100"_s, u"14"_s })
                    .ok);
        QVERIFY(QTest::qWaitFor([] { return ferrowickWindows().size() == 1; }, patienceMs));
        const QRect menu = windowGeometry(ferrowickWindows().constFirst());
        QVERIFY2(
            menu.contains(1100, 14), qPrintable(u"menu at %1,%2"_s.arg(menu.x()).arg(menu.y())));
        QVERIFY(pressKeys({ u"Escape"_s }));
        QVERIFY(app.stop());
    }

private:
    // The bus name under which the program's item registered with the panel's watcher.
    static QString registeredItem()
    {
        QDBusMessage call = QDBusMessage::createMethodCall(u"org.kde.StatusNotifierWatcher"_s,
            u"/StatusNotifierWatcher"_s, u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
        call.setArguments(
            { u"org.kde.StatusNotifierWatcher"_s, u"RegisteredStatusNotifierItems"_s });
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 10'000);
        if (reply.arguments().isEmpty())
            return {};
        const QStringList items =
            reply.arguments().constFirst().value<QDBusVariant>().variant().toStringList();
        return items.isEmpty() ? QString() : items.constFirst();
    }

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
