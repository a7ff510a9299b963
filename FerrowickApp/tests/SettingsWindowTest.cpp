// The settings window over a container built from fakes. With FERROWICK_SCREENSHOTS=<folder> the
// screenshots case also saves PNGs of the window, light and dark, for a person to look at.
#include "ui/SettingsWindow.h"

#include "AppActivation.h"
#include "AppContainer.h"
#include "DebugLog.h"
#include "FakeDesktop.h"
#include "FakeHotkeyBackend.h"
#include "FakePreferences.h"
#include "FakeTransport.h"
#include "ui/RecorderView.h"
#include "ui/SettingsLauncher.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

using namespace Ferrowick;
using namespace FWKit;
using namespace FWTest;
using namespace Qt::StringLiterals;

namespace {

constexpr std::uint32_t commandOptionShift =
    FWModifier::command | FWModifier::option | FWModifier::shift;

// Keychain items in memory, by account; while `locked` every change is refused.
class MemoryKeychain final : public KeychainServicing
{
public:
    QHash<QString, QVariant> items;
    bool locked = false;

    std::int32_t add(const QVariantMap &attributes) override
    {
        return write(attributes, attributes);
    }
    std::pair<std::int32_t, QVariantList> copyMatching(const QVariantMap &query) override
    {
        const QVariant item = items.value(account(query));
        return { item.isValid() ? KeychainStatus::success : KeychainStatus::itemNotFound,
            { item } };
    }
    std::int32_t updateMatching(const QVariantMap &query, const QVariantMap &changes) override
    {
        return locked || items.contains(account(query)) ? write(query, changes)
                                                        : KeychainStatus::itemNotFound;
    }
    std::int32_t deleteMatching(const QVariantMap &query) override
    {
        return locked                      ? lockedStatus
            : items.remove(account(query)) ? KeychainStatus::success
                                           : KeychainStatus::itemNotFound;
    }

private:
    static constexpr std::int32_t lockedStatus = -25308;
    static QString account(const QVariantMap &map)
    {
        return map.value(KeychainAttribute::account).toString();
    }
    std::int32_t write(const QVariantMap &query, const QVariantMap &changes)
    {
        if (locked)
            return lockedStatus;
        items.insert(account(query), changes.value(KeychainAttribute::valueData));
        return KeychainStatus::success;
    }
};

QStringList logLines()
{
    DebugLog::flush();
    QFile file(DebugLog::filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.isEmpty())
            lines << QString::fromUtf8(line.mid(21));
    return lines;
}

int listRequests(const FakeTransport &transport, const QString &login)
{
    int count = 0;
    for (const HTTPRequest &request : transport.requests)
        count += request.url.path() == u"/api/list/"_s + login;
    return count;
}

// Qt derives the other roles from the button and window colours.
QPalette darkPalette()
{
    QPalette palette(QColor(0x3a, 0x3a, 0x3a), QColor(0x2d, 0x2d, 0x2d));
    palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    return palette;
}

} // namespace

class SettingsWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariable("FERROWICK_HARNESS") != u"1"_s)
            QSKIP("only in the headless harness: never the user's display");
    }

    void init()
    {
        QFile::remove(DebugLog::filePath());
        AppActivation::setUpdaterSessionActive(false);
        AppActivation::setSettingsOpen(false);
        AppActivation::setPolicy(AppActivation::Policy::Accessory);
        m_keychain.items.clear();
        m_keychain.locked = false;
        m_preferences = FakePreferences();
        m_desktop = FakeDesktop();
        m_backend = std::make_unique<FakeHotkeyBackend>();
        m_transport = std::make_shared<FakeTransport>();
        m_container = std::make_unique<AppContainer>(AppServices {
            .preferences = m_preferences,
            .keychain = m_keychain,
            .transport = m_transport,
            .pasteboard = m_desktop,
            .notifier = m_desktop,
            .browser = m_desktop,
            .hotkeys = *m_backend,
            .urls = ServiceURLs::production(),
            .automaticUpdateChecks = false,
        });
    }

    void cleanup()
    {
        // Takes any window still open with it.
        m_container.reset();
        QVERIFY(!SettingsLauncher::isOpen());
    }

    void openTwiceShowsOneWindow()
    {
        SettingsLauncher::open(*m_container);
        QVERIFY(!SettingsLauncher::isOpen()); // from the event loop, not inside the caller
        SettingsLauncher::open(*m_container);
        QTRY_VERIFY(logLines().contains(u"settings window reused"_s));

        QCOMPARE(logLines(),
            QStringList({ u"settings window ordered front"_s, u"settings window reused"_s }));
        int windows = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            windows += qobject_cast<SettingsWindow *>(widget) != nullptr;
        QCOMPARE(windows, 1);
        SettingsWindow *window = SettingsLauncher::window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(window->windowTitle(), u"Ferrowick Settings"_s);
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QCOMPARE(window->view()->size(), QSize(520, 230));
        QCOMPARE(window->paneAction(SettingsPane::general)->text(), u"General"_s);
        QCOMPARE(window->paneAction(SettingsPane::shortcuts)->text(), u"Shortcuts"_s);
        QVERIFY(window->paneAction(SettingsPane::general)->isChecked());
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
        QVERIFY(window->paneAction(SettingsPane::shortcuts)->isChecked());
        window->paneAction(SettingsPane::shortcuts)->trigger();
        QCOMPARE(window->view()->pane(), SettingsPane::shortcuts);
        QVERIFY(window->paneAction(SettingsPane::shortcuts)->isChecked());

        window->paneAction(SettingsPane::general)->trigger();
        QTRY_COMPARE(window->frameGeometry(), before);
        QCOMPARE(window->view()->size(), QSize(520, 230));

        // A closed window is gone: the next one starts on General again.
        window->paneAction(SettingsPane::shortcuts)->trigger();
        window->close();
        window = open();
        QVERIFY(window);
        QCOMPARE(window->view()->pane(), SettingsPane::general);
    }

    void closing_data()
    {
        QTest::addColumn<bool>("updaterSession");
        QTest::addColumn<bool>("byKey");
        QTest::newRow("close button") << false << false;
        QTest::newRow("close key") << false << true;
        QTest::newRow("during an update session") << true << false;
    }
    void closing()
    {
        QFETCH(bool, updaterSession);
        QFETCH(bool, byKey);
        const QPointer<SettingsWindow> window = open();
        QVERIFY(window);
        AppActivation::setUpdaterSessionActive(updaterSession);
        if (byKey)
            QTest::keySequence(window.data(), QKeySequence::Close);
        else
            window->close();
        QVERIFY(!SettingsLauncher::isOpen());
        QVERIFY(!AppActivation::settingsOpen());
        QCOMPARE(AppActivation::policy(),
            updaterSession ? AppActivation::Policy::Regular : AppActivation::Policy::Accessory);
        QTRY_VERIFY(window.isNull());
    }

    void save()
    {
        KeychainCredentialStore store(m_keychain, AppContainer::serviceID);
        QVERIFY(store.setLogin(u"old"_s) && store.setPassword(u"pw"_s));
        m_container->appModel().startPolling(std::chrono::milliseconds(10));
        QTRY_VERIFY(listRequests(*m_transport, u"old"_s) >= 2);

        const QPointer<SettingsWindow> window = open();
        QVERIFY(window);
        auto *login = window->findChild<QLineEdit *>(u"login"_s);
        auto *password = window->findChild<QLineEdit *>(u"password"_s);
        auto *button = window->findChild<QPushButton *>(u"save"_s);
        QWidget *missing = window->findChild<QWidget *>(u"missingFields"_s);
        QWidget *failed = window->findChild<QWidget *>(u"saveFailed"_s);
        QCOMPARE(login->text(), u"old"_s);
        QCOMPARE(password->text(), u"pw"_s);
        QCOMPARE(login->placeholderText(), u"ferrowick login"_s);
        QCOMPARE(password->placeholderText(), u"ferrowick password"_s);
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QVERIFY(missing->isHidden() && failed->isHidden());

        // Return in a field saves, as the default button.
        login->setText(u"jane"_s);
        password->clear();
        password->setFocus();
        QTest::keyClick(password, Qt::Key_Return);
        QVERIFY(!missing->isHidden() && failed->isHidden());
        QCOMPARE(
            missing->findChild<QLabel *>()->text(), u"Please fill out all the required fields."_s);

        // Switching panes keeps what was typed and what is shown.
        window->paneAction(SettingsPane::shortcuts)->trigger();
        window->paneAction(SettingsPane::general)->trigger();
        QCOMPARE(login->text(), u"jane"_s);
        QVERIFY(!missing->isHidden());

        password->setText(u"secret"_s);
        m_keychain.locked = true;
        button->click();
        QVERIFY(missing->isHidden() && !failed->isHidden());
        QCOMPARE(failed->findChild<QLabel *>()->text(),
            u"Credentials could not be saved to the Keychain."_s);
        QVERIFY(window);

        m_keychain.locked = false;
        button->click();
        QTRY_VERIFY(window.isNull());
        QVERIFY(!AppActivation::settingsOpen());
        QCOMPARE(store.login(), u"jane"_s);
        QCOMPARE(m_desktop.log.last(), u"Notice: jane, your preferences have been saved."_s);
        QTRY_COMPARE(listRequests(*m_transport, u"jane"_s), 1);
        // Polling restarted at its long interval: the 10 ms loop is gone.
        const qsizetype requests = m_transport->requests.size();
        QTest::qWait(200);
        QCOMPARE(m_transport->requests.size(), requests);
    }

    void shortcuts()
    {
        SettingsWindow *window = open();
        QVERIFY(window);
        window->paneAction(SettingsPane::shortcuts)->trigger();
        QMap<QString, RecorderView *> recorders;
        for (RecorderView *recorder : window->findChildren<RecorderView *>())
            recorders.insert(recorder->accessibleName(), recorder);
        QCOMPARE(recorders.keys(),
            QStringList({ u"New Batch"_s, u"Open Website"_s, u"Paste"_s, u"Shrink"_s }));
        RecorderView *shrink = recorders.value(u"Shrink"_s);
        QWidget *error = window->findChild<QWidget *>(u"hotkeyError"_s);
        auto *reset = window->findChild<QPushButton *>(u"resetToDefaults"_s);
        QCOMPARE(error->findChild<QLabel *>()->text(),
            u"Shortcut could not be registered. Another app may be using it."_s);
        const auto shown = [&] {
            QStringList texts;
            for (RecorderView *recorder : recorders)
                texts << recorder->text();
            return texts;
        };
        const QStringList defaults { u"Ctrl+Alt+Shift+B"_s, u"Ctrl+Alt+Shift+O"_s,
            u"Ctrl+Alt+Shift+P"_s, u"Ctrl+Alt+Shift+S"_s };
        QCOMPARE(shown(), defaults);
        const FWHotkeyConfiguration before = m_container->hotkeyConfiguration();

        // Refused by "another application": the row keeps the combination in effect.
        m_backend->refused.insert({ 40, FWModifier::command });
        QTest::mouseClick(shrink, Qt::LeftButton);
        QTest::keyClick(shrink, Qt::Key_K, Qt::ControlModifier);
        QVERIFY(!error->isHidden());
        QCOMPARE(shrink->text(), u"Ctrl+Alt+Shift+S"_s);
        QVERIFY(m_container->hotkeyConfiguration() == before);

        QTest::mouseClick(shrink, Qt::LeftButton);
        QTest::keyClick(shrink, Qt::Key_J, Qt::ControlModifier);
        QVERIFY(error->isHidden());
        QCOMPARE(shrink->text(), u"Ctrl+J"_s);
        QCOMPARE(m_container->hotkeyConfiguration().combo(FWHotkeyAction::newShrink),
            FWKeyCombo({ 38, FWModifier::command }));
        QVERIFY(m_preferences.values.contains(u"fwHotkeyConfiguration"_s));

        m_backend->refused.insert({ 11, commandOptionShift });
        reset->click();
        QVERIFY(!error->isHidden());
        QCOMPARE(shrink->text(), u"Ctrl+J"_s);

        m_backend->refused.clear();
        reset->click();
        QVERIFY(error->isHidden());
        QCOMPARE(shown(), defaults);
        QVERIFY(m_container->hotkeyConfiguration() == FWHotkeyConfiguration::defaults());
    }

    void screenshots()
    {
        const QString folder = qEnvironmentVariable("FERROWICK_SCREENSHOTS");
        if (folder.isEmpty())
            QSKIP("FERROWICK_SCREENSHOTS names no folder");
        QVERIFY(QDir().mkpath(folder));
        QApplication::setStyle(QStyleFactory::create(u"Fusion"_s));
        QIcon::setThemeName(u"Adwaita"_s);
        KeychainCredentialStore(m_keychain, AppContainer::serviceID).setLogin(u"jane"_s);
        const QPalette light = QApplication::style()->standardPalette();
        for (const auto &[name, palette] :
            { std::pair(u"light"_s, light), std::pair(u"dark"_s, darkPalette()) }) {
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
            window->findChild<QLineEdit *>(u"password"_s)->clear();
            window->findChild<QPushButton *>(u"save"_s)->click();
            save(u"general-message"_s);

            window->paneAction(SettingsPane::shortcuts)->trigger();
            save(u"shortcuts"_s);
            auto *recorder = window->findChildren<RecorderView *>().at(1);
            QTest::mouseClick(recorder, Qt::LeftButton);
            window->findChildren<RecorderView *>().at(2)->setCombo(std::nullopt);
            window->findChild<QWidget *>(u"hotkeyError"_s)->show();
            save(u"shortcuts-recording"_s);
            window->close();
        }
    }

private:
    // Opens the window and waits until it has the keyboard.
    SettingsWindow *open()
    {
        SettingsLauncher::open(*m_container);
        if (!QTest::qWaitFor([] { return SettingsLauncher::isOpen(); }))
            return nullptr;
        SettingsWindow *window = SettingsLauncher::window();
        return QTest::qWaitForWindowActive(window) ? window : nullptr;
    }

    MemoryKeychain m_keychain;
    FakePreferences m_preferences;
    FakeDesktop m_desktop;
    std::unique_ptr<FakeHotkeyBackend> m_backend;
    std::shared_ptr<FakeTransport> m_transport;
    std::unique_ptr<AppContainer> m_container;
};

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"
