// The status icon and its menu over a container of fakes.
#include "ui/TrayIcon.h"

#include "AppTestSupport.h"
#include "ui/MainMenu.h"
#include "ui/SettingsWindow.h"

#include <QAction>

using namespace Ferrowick;
using namespace Qt::StringLiterals;

class TrayIconTest : public QObject
{
    Q_OBJECT

private slots:
    // A tray icon that cannot be drawn shows as an empty square: better not to start.
    void load()
    {
        QVERIFY(TrayIcon::load(QString::fromUtf8(STATUS_ICON_FILE)));
        QVERIFY(!TrayIcon::load(u"/nonexistent/wick.svg"_s));
    }

    // Rebuilt for new shortcuts with its one Batches and one Recent submenu; a name's '&' is no
    // mnemonic there.
    void menuKeepsItsBatches()
    {
        SKIP_OUTSIDE_HARNESS();
        FWTest::TestApp app;
        AppContainer &container = app.build();
        MainMenu menu(container.appModel(), container, container);
        QVERIFY(app.container->store().setLogin(u"jane"_s));
        QVERIFY(app.container->store().setPassword(u"pw"_s));
        app.transport->answer(200, R"([{"batch":"scans"},{"batch":"R&D"}])");
        app.container->appModel().refreshBatches();
        QTRY_COMPARE(menu.actions().at(3)->menu()->actions().size(), 2);
        app.container->setHotkeyConfiguration({});
        QVERIFY(menu.actions().at(1)->shortcut().isEmpty());
        const QList submenus { menu.actions().at(3)->menu(), menu.actions().at(4)->menu() };
        QCOMPARE(menu.findChildren<QMenu *>(), submenus);
        QCOMPARE(menu.actions().at(3)->menu()->actions().at(1)->iconText(), u"R&D"_s);
    }

    // Greyed out while empty; a made link's row copies it again, Clear Recent empties it.
    void menuRecalls()
    {
        SKIP_OUTSIDE_HARNESS();
        FWTest::TestApp app;
        AppContainer &container = app.build();
        MainMenu menu(container.appModel(), container, container);
        const QAction *recent = menu.actions().at(4);
        QVERIFY(!recent->isEnabled());
        emit container.appModel().linkMade({ FWKit::MadeLink::Kind::shrink,
            u"https://s.example/1"_s, u"https://a.example/x"_s, {} });
        QVERIFY(recent->isEnabled());
        recent->menu()->actions().constFirst()->trigger();
        QCOMPARE(app.desktop.clipboard, u"https://s.example/1"_s);
        recent->menu()->actions().constLast()->trigger();
        QCOMPARE(std::pair(recent->isEnabled(), container.recentLinks().links().size()),
            std::pair(false, qsizetype(0)));
    }

    // Where the desktop binds the keys, a row shows its text for the key, never as a key of ours;
    // where nobody does, no key at all.
    void menuShowsOthersKeys_data()
    {
        QTest::addColumn<HotkeySettings::Binder>("binder");
        QTest::addColumn<QString>("trigger");
        QTest::newRow("desktop") << HotkeySettings::Binder::desktop << u"Ctrl+Alt+Shift+S"_s;
        QTest::newRow("commands") << HotkeySettings::Binder::commands << QString();
    }
    void menuShowsOthersKeys()
    {
        SKIP_OUTSIDE_HARNESS();
        QFETCH(HotkeySettings::Binder, binder);
        QFETCH(QString, trigger);
        FWTest::TestApp app;
        app.binder = binder;
        app.desktopShortcuts.triggers[FWKit::FWHotkeyAction::newShrink] = trigger;
        AppContainer &container = app.build();
        MainMenu menu(container.appModel(), container, container);
        const QAction *shrink = menu.actions().at(1);
        QVERIFY(shrink->shortcut().isEmpty());
        QCOMPARE(shrink->text().section(u'\t', 1), trigger);
    }

    // A desktop with no tray at all (scripts/headless --no-tray): one notice says how to reach
    // the program, and its settings window offers Quit.
    void withoutTray()
    {
        SKIP_OUTSIDE_HARNESS();
        if (qEnvironmentVariable("FERROWICK_TRAY") != u"none"_s)
            QSKIP("needs a desktop without a tray (--no-tray)");
        FWTest::TestApp app;
        AppContainer &container = app.build();
        MainMenu menu(container.appModel(), container, container);
        TrayIcon tray(*TrayIcon::load(QString::fromUtf8(STATUS_ICON_FILE)), menu, app.desktop,
            std::chrono::milliseconds(10));
        tray.show();
        QTRY_COMPARE(app.desktop.log, QStringList { u"Ferrowick: "_s + TrayIcon::noTrayNotice });
        const QPointer<SettingsWindow> settings = app.openSettings();
        QVERIFY(settings && settings->findChild<QAction *>(u"quit"_s));
    }
};

QTEST_MAIN(TrayIconTest)
#include "TrayIconTest.moc"
