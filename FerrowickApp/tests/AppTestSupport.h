#pragma once

// What the application's tests share: the harness guard, outside tools, the container over fakes
// with the harness's keyring, and a user who answers message boxes.
#include "AppContainer.h"
#include "DebugLog.h"
#include "FakeDesktop.h"
#include "FakeHotkeyBackend.h"
#include "FakePreferences.h"
#include "FakeTransport.h"
#include "platform/SecretServiceKeychain.h"
#include "ui/SettingsLauncher.h"
#include "ui/SettingsWindow.h"
#include "ui/UpdateDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

// Desktop tests run only inside scripts/headless: never on the user's keyring, display,
// clipboard or notifications.
#define SKIP_OUTSIDE_HARNESS()                                                                     \
    if (qEnvironmentVariable("FERROWICK_HARNESS") != QLatin1StringView("1"))                       \
    QSKIP("only in the headless harness")

namespace FWTest {

// Runs a tool to its end: its output, or nothing when it failed or hung.
inline std::optional<QByteArray> runTool(
    const QString &program, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess tool;
    tool.start(program, arguments);
    tool.write(input);
    tool.closeWriteChannel();
    const bool ran = tool.waitForFinished(10'000) && tool.exitStatus() == QProcess::NormalExit &&
        tool.exitCode() == 0;
    return ran ? std::optional(tool.readAllStandardOutput()) : std::nullopt;
}

// The keys a desktop bound for us, as a test sets them.
class FakeDesktopShortcuts final : public Ferrowick::DesktopShortcuts
{
public:
    QMap<FWKit::FWHotkeyAction, QString> triggers;
    bool configurable = true;
    int configured = 0;

    QString trigger(FWKit::FWHotkeyAction action) const override { return triggers.value(action); }
    bool canConfigure() const override { return configurable; }
    void configure() override { ++configured; }
    void setTrigger(FWKit::FWHotkeyAction action, const QString &text)
    {
        triggers[action] = text;
        emit triggersChanged();
    }
};

// The container over fakes and the harness's keyring, which starts without the program's
// credentials. build() makes the container, so a test can seed the services first.
struct TestApp
{
    Ferrowick::SecretServiceKeychain keychain;
    FakePreferences preferences;
    std::shared_ptr<FakeTransport> transport = std::make_shared<FakeTransport>();
    FakeDesktop desktop;
    FakeHotkeyBackend hotkeys;
    Ferrowick::UpdateDialogs updateDialogs;
    // Who binds the keys; with Binder::desktop, desktopShortcuts says what.
    Ferrowick::HotkeySettings::Binder binder = Ferrowick::HotkeySettings::Binder::recorder;
    FakeDesktopShortcuts desktopShortcuts;
    Ferrowick::KeyringLock *keyringLock = nullptr;
    // The program's own files (the Recent list), fresh for each app.
    QTemporaryDir stateFolder;
    std::unique_ptr<Ferrowick::AppContainer> container;

    TestApp()
    {
        if (qEnvironmentVariable("FERROWICK_HARNESS") != QLatin1StringView("1"))
            qFatal("TestApp: only in the headless harness, never on the user's keyring");
        namespace Attr = FWKit::KeychainAttribute;
        for (const char *account : { "login", "password" })
            keychain.deleteMatching({ { Attr::itemClass, Attr::genericPassword },
                { Attr::service, Ferrowick::AppContainer::serviceID },
                { Attr::account, QString::fromLatin1(account) } });
    }

    Ferrowick::AppContainer &build()
    {
        Ferrowick::AppServices services { preferences, keychain, transport, desktop, desktop,
            desktop, hotkeys, updateDialogs, FWKit::ServiceURLs::production(), false };
        services.binder = binder;
        if (binder == Ferrowick::HotkeySettings::Binder::desktop)
            services.desktopShortcuts = &desktopShortcuts;
        services.keyringLock = keyringLock;
        container = std::make_unique<Ferrowick::AppContainer>(services, stateFolder.path());
        return *container;
    }

    // Opens the settings window as the application does; the window once it is shown.
    QPointer<Ferrowick::SettingsWindow> openSettings()
    {
        Ferrowick::SettingsLauncher::open(
            { container->appModel(), container->store(), *container });
        Ferrowick::SettingsWindow *window = nullptr;
        [[maybe_unused]] const bool shown = QTest::qWaitFor([&window] {
            for (QWidget *shown : QApplication::topLevelWidgets())
                if (auto *settings = qobject_cast<Ferrowick::SettingsWindow *>(shown);
                    settings && settings->isVisible())
                    window = settings;
            return window != nullptr;
        });
        return window;
    }
};

// A user at the screen: answers each modal message box with the button `press` names for it (by
// the box's number; an empty name: not yet, asked again shortly), and notes what it showed. A
// timer does it, so a box that runs its own event loop is answered too. After 15 s it closes
// whatever is up, so a broken test fails instead of hanging.
class DialogAnswerer : public QObject
{
public:
    struct Box
    {
        QString text;
        bool plainText = true; // every label shows its text as typed
    };

    std::function<QString(qsizetype box)> press;
    QList<Box> answered;

    DialogAnswerer()
    {
        connect(&m_poll, &QTimer::timeout, this, &DialogAnswerer::poll);
        m_poll.start(10);
        QTimer::singleShot(15'000, this, [this] { m_timedOut = true; });
    }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (auto *dialog = qobject_cast<QDialog *>(modal); dialog && m_timedOut)
            dialog->reject();
        if (m_timedOut || !box || !box->isVisible() || !press)
            return;
        const QString choice = press(answered.size());
        const QList<QAbstractButton *> buttons = box->buttons();
        const auto chosen = std::ranges::find(buttons, choice, &QAbstractButton::text);
        if (choice.isEmpty() || chosen == buttons.end())
            return;
        Box seen { box->text() };
        for (const QLabel *label : box->findChildren<QLabel *>())
            seen.plainText &= label->text().isEmpty() || label->textFormat() == Qt::PlainText;
        answered << seen;
        (*chosen)->click();
    }

    QTimer m_poll;
    bool m_timedOut = false;
};

} // namespace FWTest
