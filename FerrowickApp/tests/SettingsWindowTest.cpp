// The settings window over a container built from fakes. With FERROWICK_SCREENSHOTS=<folder> the
// screenshots case also saves PNGs of the window, light and dark, for a person to look at.
#include "ui/SettingsWindow.h"

#include "AppActivation.h"
#include "AppTestSupport.h"
#include "ui/RecorderView.h"
#include "ui/SettingsLauncher.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>

using namespace Ferrowick;
using namespace FWKit;
using namespace FWTest;
using namespace Qt::StringLiterals;

class SettingsWindowTest : public QObject
{
    Q_OBJECT

    std::optional<TestApp> m_app;

    // Opens the window and waits until it has the keyboard.
    SettingsWindow *open()
    {
        SettingsLauncher::open(*m_app->container);
        if (!QTest::qWaitFor([] { return SettingsLauncher::isOpen(); }))
            return nullptr;
        SettingsWindow *window = SettingsLauncher::window();
        return QTest::qWaitForWindowActive(window) ? window : nullptr;
    }

    int listRequests(const QString &login) const
    {
        int count = 0;
        for (const HTTPRequest &request : m_app->transport->requests)
            count += request.url.path() == u"/api/list/"_s + login;
        return count;
    }

private slots:
    void initTestCase() { SKIP_OUTSIDE_HARNESS(); }

    void init()
    {
        clearLog();
        AppActivation::setUpdaterSessionActive(false);
        AppActivation::setSettingsOpen(false);
        AppActivation::setPolicy(AppActivation::Policy::Accessory);
        m_app.emplace().build();
    }

    void cleanup()
    {
        // Takes any window still open with it.
        m_app.reset();
        QVERIFY(!SettingsLauncher::isOpen());
    }

    void openTwiceShowsOneWindow()
    {
        SettingsLauncher::open(*m_app->container);
        QVERIFY(!SettingsLauncher::isOpen()); // from the event loop, not inside the caller
        SettingsLauncher::open(*m_app->container);
        QTRY_COMPARE(logLines(),
            QStringList({ u"settings window ordered front"_s, u"settings window reused"_s }));
        int windows = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            windows += qobject_cast<SettingsWindow *>(widget) != nullptr;
        QCOMPARE(windows, 1);
        SettingsWindow *window = SettingsLauncher::window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QCOMPARE(window->view()->size(), QSize(520, 230));
        QVERIFY(AppActivation::settingsOpen());
        QCOMPARE(AppActivation::policy(), AppActivation::Policy::Regular);
    }

    void panesKeepTheTopEdge()
    {
        SettingsWindow *window = open();
        QVERIFY(window);
        const QRect before = window->frameGeometry();

        window->paneAction(SettingsPane::shortcuts)->trigger();
        QCOMPARE(window->view()->size(), QSize(520, 310));
        QTRY_COMPARE(window->frameGeometry().height(), before.height() + 80);
        QCOMPARE(window->frameGeometry().topLeft(), before.topLeft());
        window->paneAction(SettingsPane::general)->trigger();
        QTRY_COMPARE(window->frameGeometry(), before);

        // A closed window is gone: the next one starts on General again.
        window->paneAction(SettingsPane::shortcuts)->trigger();
        window->close();
        window = open();
        QVERIFY(window);
        QCOMPARE(window->view()->pane(), SettingsPane::general);
        QVERIFY(window->paneAction(SettingsPane::general)->isChecked());
    }

    void closing_data()
    {
        QTest::addColumn<bool>("updaterSession");
        QTest::addColumn<QKeySequence>("key"); // empty: the close button
        QTest::newRow("close button") << false << QKeySequence();
        QTest::newRow("close key") << false << QKeySequence(QKeySequence::Close);
        QTest::newRow("Escape") << false << QKeySequence(Qt::Key_Escape);
        QTest::newRow("during an update session") << true << QKeySequence();
    }
    void closing()
    {
        QFETCH(bool, updaterSession);
        QFETCH(QKeySequence, key);
        const QPointer<SettingsWindow> window = open();
        QVERIFY(window);
        AppActivation::setUpdaterSessionActive(updaterSession);
        if (!key.isEmpty())
            QTest::keySequence(window.data(), key);
        else
            window->close();
        QVERIFY(!SettingsLauncher::isOpen());
        QVERIFY(!AppActivation::settingsOpen());
        QCOMPARE(AppActivation::policy(),
            updaterSession ? AppActivation::Policy::Regular : AppActivation::Policy::Accessory);
        QTRY_VERIFY(window.isNull());
    }

    // Without a mouse: the keys of a tabbed window between panes, none while a recorder records.
    void keyboardSwitchesPanes()
    {
        SettingsWindow *window = open();
        QVERIFY(window);
        const auto press = [&](QKeyCombination key) {
            QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
        };
        press(Qt::CTRL | Qt::Key_PageDown);
        QCOMPARE(window->view()->pane(), SettingsPane::shortcuts);
        auto *recorder = qobject_cast<RecorderView *>(QApplication::focusWidget());
        QVERIFY(recorder);
        QTest::keyClick(recorder, Qt::Key_Space);
        press(Qt::CTRL | Qt::Key_PageUp);
        QCOMPARE(recorder->text(),
            QKeySequence(Qt::CTRL | Qt::Key_PageUp).toString(QKeySequence::NativeText));
        QTest::keyClick(recorder, Qt::Key_Space);
        press(Qt::Key_Escape);
        QVERIFY(!recorder->isRecording());
        QCOMPARE(window->view()->pane(), SettingsPane::shortcuts);
        QVERIFY(SettingsLauncher::isOpen());

        press(Qt::CTRL | Qt::Key_PageUp);
        QCOMPARE(window->view()->pane(), SettingsPane::general);
        press(Qt::CTRL | Qt::Key_Tab);
        QCOMPARE(window->view()->pane(), SettingsPane::shortcuts);
        press(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab);
        QCOMPARE(window->view()->pane(), SettingsPane::general);
    }

    void save()
    {
        QVERIFY(m_app->storeCredentials(u"old"_s, u"pw"_s));
        m_app->container->appModel().startPolling(std::chrono::milliseconds(10));
        QTRY_VERIFY(listRequests(u"old"_s) >= 2);

        const QPointer<SettingsWindow> window = open();
        QVERIFY(window);
        auto *login = window->findChild<QLineEdit *>(u"login"_s);
        auto *password = window->findChild<QLineEdit *>(u"password"_s);
        QWidget *missing = window->findChild<QWidget *>(u"missingFields"_s);
        QWidget *failed = window->findChild<QWidget *>(u"saveFailed"_s);
        QCOMPARE(login->text(), u"old"_s);
        QCOMPARE(password->text(), u"pw"_s);
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QVERIFY(missing->isHidden() && failed->isHidden());

        // Return in a field saves, as the default button.
        login->setText(u"jane"_s);
        password->clear();
        password->setFocus();
        QTest::keyClick(password, Qt::Key_Return);
        QVERIFY(!missing->isHidden() && failed->isHidden());
        // Switching panes keeps what was typed and what is shown.
        window->paneAction(SettingsPane::shortcuts)->trigger();
        window->paneAction(SettingsPane::general)->trigger();
        QCOMPARE(login->text(), u"jane"_s);
        QVERIFY(!missing->isHidden());

        password->setText(u"secret"_s);
        m_app->keychain.locked = true;
        window->findChild<QPushButton *>(u"save"_s)->click();
        QVERIFY(missing->isHidden() && !failed->isHidden());
        QVERIFY(window);

        m_app->keychain.locked = false;
        window->findChild<QPushButton *>(u"save"_s)->click();
        QTRY_VERIFY(window.isNull());
        QVERIFY(!AppActivation::settingsOpen());
        QCOMPARE(m_app->container->store().login(), u"jane"_s);
        QCOMPARE(m_app->desktop.log.last(), u"Notice: jane, your preferences have been saved."_s);
        // Polling restarted for the new login (AppModelTest: a restart replaces the loop).
        QTRY_COMPARE(listRequests(u"jane"_s), 1);
    }

    void shortcuts()
    {
        SettingsWindow *window = open();
        QVERIFY(window);
        window->paneAction(SettingsPane::shortcuts)->trigger();
        const QList<RecorderView *> recorders = window->findChildren<RecorderView *>();
        const auto shown = [&] {
            QStringList rows;
            for (const RecorderView *recorder : recorders)
                rows << recorder->accessibleName() + u' ' + recorder->text();
            return rows;
        };
        const QStringList defaults { u"New Batch Ctrl+Alt+Shift+B"_s,
            u"Open Website Ctrl+Alt+Shift+O"_s, u"Paste Ctrl+Alt+Shift+P"_s,
            u"Shrink Ctrl+Alt+Shift+S"_s };
        QCOMPARE(shown(), defaults);
        RecorderView *shrink = recorders.last();
        QWidget *error = window->findChild<QWidget *>(u"hotkeyError"_s);

        // Refused by "another application": the row keeps the combination in effect.
        m_app->hotkeys.refused.insert({ 40, FWModifier::command });
        QTest::mouseClick(shrink, Qt::LeftButton);
        QTest::keyClick(shrink, Qt::Key_K, Qt::ControlModifier);
        QVERIFY(!error->isHidden());
        QCOMPARE(shrink->text(), u"Ctrl+Alt+Shift+S"_s);

        QTest::mouseClick(shrink, Qt::LeftButton);
        QTest::keyClick(shrink, Qt::Key_J, Qt::ControlModifier);
        QVERIFY(error->isHidden());
        QCOMPARE(shrink->text(), u"Ctrl+J"_s);
        QCOMPARE(m_app->container->hotkeyConfiguration().combo(FWHotkeyAction::newShrink),
            FWKeyCombo({ 38, FWModifier::command }));

        window->findChild<QPushButton *>(u"resetToDefaults"_s)->click();
        QCOMPARE(shown(), defaults);
    }

    void screenshots()
    {
        const QString folder = screenshotFolder();
        if (folder.isEmpty())
            QSKIP("FERROWICK_SCREENSHOTS names no folder");
        QIcon::setThemeName(u"Adwaita"_s);
        QVERIFY(m_app->storeCredentials(u"jane"_s, {}));
        for (const auto &[name, palette] : screenshotPalettes()) {
            QApplication::setPalette(palette);
            SettingsWindow *window = open();
            QVERIFY(window);
            const auto save = [&](const QString &what) {
                // A scroll bar is shown or hidden once the layout's changes have come round.
                const QScrollBar *bar = window->findChild<QScrollArea *>()->verticalScrollBar();
                QTRY_COMPARE(bar->isVisible(), bar->maximum() > 0);
                QVERIFY(window->grab().save(folder + u"/settings-%1-%2.png"_s.arg(what, name)));
            };
            save(u"general"_s);
            window->findChild<QPushButton *>(u"save"_s)->click();
            save(u"general-message"_s);

            window->paneAction(SettingsPane::shortcuts)->trigger();
            save(u"shortcuts"_s);
            QTest::mouseClick(window->findChildren<RecorderView *>().at(1), Qt::LeftButton);
            window->findChildren<RecorderView *>().at(2)->setCombo(std::nullopt);
            window->findChild<QWidget *>(u"hotkeyError"_s)->show();
            save(u"shortcuts-recording"_s);
            window->close();
        }
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"
