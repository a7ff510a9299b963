#include "ui/TrayIcon.h"

#include "AppTestSupport.h"
#include "ui/MainMenu.h"
#include "ui/SettingsLauncher.h"
#include "ui/SettingsWindow.h"

#include <QAction>
#include <QTemporaryDir>

using namespace Ferrowick;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class TrayIconTest : public QObject
{
    Q_OBJECT

private slots:
    // A tray icon that cannot be drawn shows as an empty square: better not to start.
    void load_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: the status icon
        QTest::addColumn<bool>("drawn");
        QTest::newRow("the status icon") << QByteArray() << true;
        QTest::newRow("damaged") << "<svg xmlns=\"http://www.w3.org/2000/svg\"><path d="_ba
                                 << false;
        QTest::newRow("not an image") << "just text"_ba << false;
    }
    void load()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, drawn);
        QTemporaryDir folder;
        QString path = QStringLiteral(STATUS_ICON_FILE);
        if (!content.isEmpty()) {
            path = folder.filePath(u"icon.svg"_s);
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        const std::optional<QIcon> icon = TrayIcon::load(path);
        QCOMPARE(icon.has_value(), drawn);
        if (icon)
            QVERIFY(!icon->pixmap(22).isNull());
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
        MainMenu menu(container);
        TrayIcon tray(*TrayIcon::load(QStringLiteral(STATUS_ICON_FILE)), menu, app.desktop, 10ms);
        tray.show();
        const QString notice = u"Ferrowick: "_s + TrayIcon::noTrayNotice;
        QTRY_COMPARE(app.desktop.log, QStringList { notice });

        SettingsLauncher::open(container);
        QTRY_VERIFY(SettingsLauncher::isOpen());
        const auto *quit = SettingsLauncher::window()->findChild<QAction *>(u"quit"_s);
        QVERIFY(quit && quit->isVisible());
        QCOMPARE(app.desktop.log.size(), 1);
    }
};

QTEST_MAIN(TrayIconTest)
#include "TrayIconTest.moc"
