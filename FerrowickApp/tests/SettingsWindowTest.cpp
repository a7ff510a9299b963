// The settings window and its shortcut recorders over a container built from fakes. Runs with and
// without openbox (scripts/headless --wm).
#include "ui/SettingsWindow.h"

#include "AppTestSupport.h"
#include "CommandLine.h"
#include "platform/Autostart.h"
#include "ui/RecorderView.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolButton>

using namespace Ferrowick;
using namespace FWKit;
using namespace Qt::StringLiterals;

class SettingsWindowTest : public QObject
{
    Q_OBJECT

    std::optional<FWTest::TestApp> m_app;

private slots:
    void initTestCase() { SKIP_OUTSIDE_HARNESS(); }
    // The one before takes any window still open with it.
    void init() { m_app.emplace().build(); }

    void keys_data()
    {
        QTest::addColumn<QKeyCombination>("key"); // Qt::Key_unknown: the recorder loses the focus
        // Except for "switched" and "closed", the first recorder on Shortcuts records: it takes
        // every key first, the window's own included.
        QTest::addColumn<QString>("outcome");
        QTest::newRow("Ctrl+PgDn") << (Qt::CTRL | Qt::Key_PageDown) << u"switched"_s;
        QTest::newRow("Ctrl+PgUp") << (Qt::CTRL | Qt::Key_PageUp) << u"switched"_s;
        QTest::newRow("Ctrl+Tab") << (Qt::CTRL | Qt::Key_Tab) << u"switched"_s;
        QTest::newRow("Ctrl+Shift+Tab")
            << (Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab) << u"switched"_s;
        QTest::newRow("Escape") << QKeyCombination(Qt::Key_Escape) << u"closed"_s;
        QTest::newRow("recording Ctrl+K") << (Qt::CTRL | Qt::Key_K) << u"recorded"_s;
        QTest::newRow("recording Ctrl+PgUp") << (Qt::CTRL | Qt::Key_PageUp) << u"recorded"_s;
        QTest::newRow("recording K") << QKeyCombination(Qt::Key_K) << u"beep"_s;
        QTest::newRow("recording Shift+K") << (Qt::SHIFT | Qt::Key_K) << u"beep"_s;
        QTest::newRow("taken by Shrink")
            << (Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_S) << u"beep"_s;
        QTest::newRow("recording lone Ctrl") << (Qt::CTRL | Qt::Key_Control) << u"recording"_s;
        QTest::newRow("recording Escape") << QKeyCombination(Qt::Key_Escape) << u"ended"_s;
        QTest::newRow("recording, focus lost") << QKeyCombination(Qt::Key_unknown) << u"ended"_s;
    }
    void keys()
    {
        QFETCH(QKeyCombination, key);
        QFETCH(QString, outcome);
        const bool recording = outcome != u"switched"_s && outcome != u"closed"_s;
        const QPointer<SettingsWindow> window = m_app->openSettings();
        QVERIFY(QTest::qWaitForWindowActive(window));
        auto *recorder = window->findChild<RecorderView *>();
        const std::optional<FWKeyCombo> before = recorder->combo();
        int beeps = 0;
        recorder->setBeep([&] { ++beeps; });
        if (recording) {
            window->selectPane(SettingsPane::shortcuts);
            QTest::mouseClick(recorder, Qt::LeftButton);
            QVERIFY(recorder->isRecording());
        }
        if (key.key() == Qt::Key_unknown)
            recorder->clearFocus();
        else
            QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
        QTRY_COMPARE(window.isNull(), outcome == u"closed"_s);
        if (!window)
            return;
        QCOMPARE(window->view()->pane(), SettingsPane::shortcuts);
        QCOMPARE(recorder->isRecording(), outcome == u"beep"_s || outcome == u"recording"_s);
        QVERIFY(recorder->isRecording() || !QWidget::keyboardGrabber());
        QCOMPARE(beeps, outcome == u"beep"_s ? 1 : 0);
        QCOMPARE(recorder->combo() != before, outcome == u"recorded"_s);
    }

    // Where the desktop or nobody binds the keys: no recorder, what a row offers, and the pane
    // still fits its window.
    void otherBinders_data()
    {
        QTest::addColumn<HotkeySettings::Binder>("binder");
        QTest::addColumn<bool>("configurable");
        QTest::newRow("desktop") << HotkeySettings::Binder::desktop << true;
        QTest::newRow("desktop, no editor") << HotkeySettings::Binder::desktop << false;
        QTest::newRow("commands") << HotkeySettings::Binder::commands << false;
    }
    void otherBinders()
    {
        QFETCH(HotkeySettings::Binder, binder);
        QFETCH(bool, configurable);
        m_app.emplace();
        m_app->binder = binder;
        m_app->desktopShortcuts.configurable = configurable;
        m_app->build();
        const QPointer<SettingsWindow> window = m_app->openSettings();
        window->selectPane(SettingsPane::shortcuts);
        QCoreApplication::sendPostedEvents();
        QVERIFY(!window->findChild<RecorderView *>());
        QVERIFY(!window->findChild<QScrollArea *>()->verticalScrollBar()->isVisible());
        auto *configure = window->findChild<QPushButton *>(u"configureInDesktop"_s);
        QCOMPARE(configure && configure->isVisible(), configurable);
        if (configurable) {
            configure->click();
            QCOMPARE(m_app->desktopShortcuts.configured, 1);
        }
        const QString name = QString::fromLatin1(hotkeyActionName(FWHotkeyAction::newShrink));
        if (binder == HotkeySettings::Binder::commands) {
            auto *command = window->findChild<QLineEdit *>(name);
            QCOMPARE(command->text(), CommandLine::commandFor(FWHotkeyAction::newShrink));
            window->findChild<QToolButton *>(name + u"Copy"_s)->click();
            QCOMPARE(QGuiApplication::clipboard()->text(), command->text());
            return;
        }
        m_app->desktopShortcuts.setTrigger(FWHotkeyAction::newShrink, u"Ctrl+Alt+S"_s);
        QCOMPARE(window->findChild<QLabel *>(name)->text(), u"Ctrl+Alt+S"_s);
    }

    // The box shows what the autostart folder holds, whoever put it there, and changes it at once.
    void startAtLogin_data()
    {
        QTest::addColumn<QByteArray>("before"); // the entry found; null: none
        QTest::addColumn<bool>("blocked"); // a file stands where the folder should be
        QTest::addColumn<bool>("shown");
        const QByteArray entry = "[Desktop Entry]\nType=Application\nExec=ferrowick\n";
        QTest::newRow("none") << QByteArray() << false << false;
        QTest::newRow("entry") << entry << false << true;
        QTest::newRow("hidden entry") << entry + "Hidden=true\n" << false << false;
        QTest::newRow("switched off in GNOME") << entry + "X-GNOME-Autostart-enabled=false\n"
                                               << false << false;
        QTest::newRow("folder blocked") << QByteArray() << true << false;
    }
    void startAtLogin()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, blocked);
        QFETCH(bool, shown);
        QTemporaryDir config;
        const QString folder = config.filePath(u"autostart"_s);
        Autostart autostart(blocked ? folder + u"/autostart"_s : folder);
        QFile file(autostart.entryPath());
        if (blocked)
            QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
        else if (!before.isNull())
            QVERIFY(QDir().mkpath(folder) && file.open(QIODevice::WriteOnly) &&
                file.write(before) == before.size());
        file.close();
        SettingsWindow window({ m_app->container->appModel(), m_app->container->store(),
            *m_app->container, &autostart });
        window.show();
        auto *box = window.findChild<QCheckBox *>(u"startAtLogin"_s);
        QCOMPARE(box->isChecked(), shown);

        box->click();
        QCOMPARE(file.exists(), !shown && !blocked);
        QCOMPARE(box->isChecked(), file.exists());
        QCOMPARE(window.findChild<QWidget *>(u"startAtLoginFailed"_s)->isVisible(), blocked);
        if (file.exists()) {
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray written = file.readAll();
            file.close();
            QVERIFY(written.contains(
                "\nExec=" + QCoreApplication::applicationFilePath().toUtf8() + '\n'));
            QVERIFY(written.contains("\nX-GNOME-Autostart-enabled=true\n"));
            QVERIFY(!written.contains("Hidden"));
            // Removed by hand: the pane shows it when it comes back into view.
            QVERIFY(file.remove());
            window.selectPane(SettingsPane::shortcuts);
            window.selectPane(SettingsPane::general);
            QVERIFY(!box->isChecked());
        }
    }

    // A second "open" brings the same window. Return in a field saves, as the default button;
    // both fields are needed.
    void openTwiceAndSave()
    {
        m_app->openSettings();
        const QPointer<SettingsWindow> window = m_app->openSettings();
        QVERIFY(QTest::qWaitForWindowActive(window));
        const auto isSettings = [](QWidget *w) { return qobject_cast<SettingsWindow *>(w); };
        QCOMPARE(std::ranges::count_if(QApplication::topLevelWidgets(), isSettings), 1);
        window->findChild<QLineEdit *>(u"login"_s)->setText(u"jane"_s);
        auto *password = window->findChild<QLineEdit *>(u"password"_s);
        QTest::keyClick(password, Qt::Key_Return);
        QVERIFY(!window->findChild<QWidget *>(u"missingFields"_s)->isHidden());
        QVERIFY(!m_app->container->store().login());
        password->setText(u"secret"_s);
        QTest::keyClick(password, Qt::Key_Return);
        QTRY_VERIFY(!window);
        QCOMPARE(m_app->container->store().login(), u"jane"_s);
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"
