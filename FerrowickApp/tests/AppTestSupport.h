#pragma once

// What the application's tests share: the harness guard, the debug log's lines, the container
// over fakes with the harness's keyring, and a user who answers message boxes.
#include "AppContainer.h"
#include "DebugLog.h"
#include "FakeDesktop.h"
#include "FakeHotkeyBackend.h"
#include "FakePreferences.h"
#include "FakeTransport.h"
#include "platform/SecretServiceKeychain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QProcess>
#include <QStyle>
#include <QStyleFactory>
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

// The screenshot cases run when FERROWICK_SCREENSHOTS names a folder (made here). They draw in
// Fusion, once with its light palette and once with a dark one, for a person to look at both.
inline QString screenshotFolder()
{
    const QString folder = qEnvironmentVariable("FERROWICK_SCREENSHOTS");
    if (!folder.isEmpty())
        QDir().mkpath(folder);
    return folder;
}

inline QList<std::pair<QString, QPalette>> screenshotPalettes()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // Qt derives the other roles from the button and window colours.
    QPalette dark(QColor(0x3a, 0x3a, 0x3a), QColor(0x2d, 0x2d, 0x2d));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    return { { QStringLiteral("light"), QApplication::style()->standardPalette() },
        { QStringLiteral("dark"), dark } };
}

// The debug log's messages since clearLog(), without their timestamps.
inline QStringList logLines()
{
    Ferrowick::DebugLog::flush();
    QFile file(Ferrowick::DebugLog::filePath());
    QStringList lines;
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray &line : file.readAll().split('\n'))
            if (!line.isEmpty())
                lines << QString::fromUtf8(line.mid(21));
    return lines;
}

inline void clearLog()
{
    Ferrowick::DebugLog::flush();
    QFile::remove(Ferrowick::DebugLog::filePath());
}

// Runs a tool to its end: its output, or nothing when it failed or hung.
inline std::optional<QByteArray> runTool(
    const QString &program, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess tool;
    tool.start(program, arguments);
    tool.write(input);
    tool.closeWriteChannel();
    if (!tool.waitForFinished(10'000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput();
}

// The harness's keyring. While `locked` every change is refused, as a locked collection does.
class TestKeychain final : public FWKit::KeychainServicing
{
public:
    bool locked = false;

    std::int32_t add(const QVariantMap &attributes) override
    {
        return locked ? refused : m_keyring.add(attributes);
    }
    std::pair<std::int32_t, QVariantList> copyMatching(const QVariantMap &query) override
    {
        return m_keyring.copyMatching(query);
    }
    std::int32_t updateMatching(const QVariantMap &query, const QVariantMap &changes) override
    {
        return locked ? refused : m_keyring.updateMatching(query, changes);
    }
    std::int32_t deleteMatching(const QVariantMap &query) override
    {
        return locked ? refused : m_keyring.deleteMatching(query);
    }

private:
    static constexpr std::int32_t refused = Ferrowick::SecretServiceKeychain::locked;
    Ferrowick::SecretServiceKeychain m_keyring;
};

// The container over fakes and the harness's keyring, which starts without the program's
// credentials. build() makes the container, so a test can seed the services first.
struct TestApp
{
    TestKeychain keychain;
    FakePreferences preferences;
    std::shared_ptr<FakeTransport> transport = std::make_shared<FakeTransport>();
    FakeDesktop desktop;
    FakeHotkeyBackend hotkeys;
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
        container = std::make_unique<Ferrowick::AppContainer>(
            Ferrowick::AppServices { preferences, keychain, transport, desktop, desktop, desktop,
                hotkeys, FWKit::ServiceURLs::production(), false });
        return *container;
    }

    // An empty password is no login, as far as the model is concerned.
    bool storeCredentials(const QString &login, const QString &password)
    {
        FWKit::KeychainCredentialStore store(keychain, Ferrowick::AppContainer::serviceID);
        return store.setLogin(login) && store.setPassword(password);
    }
};

// A user at the screen: answers each modal message box with the button `press` names for it (by
// the box's number; an empty name: not yet, asked again shortly), and notes what it showed. A
// timer does it, so a box that runs its own event loop is answered too. After 15 s it closes
// whatever is up and sets timedOut, so a broken test fails instead of hanging.
class DialogAnswerer : public QObject
{
public:
    struct Box
    {
        QString name, title, text, informativeText;
        QStringList buttons;
        bool plainText = true; // every label shows its text as typed
    };

    std::function<QString(qsizetype box)> press;
    QList<Box> answered;
    bool timedOut = false;

    DialogAnswerer()
    {
        connect(&m_poll, &QTimer::timeout, this, &DialogAnswerer::poll);
        m_poll.start(10);
        QTimer::singleShot(15'000, this, [this] { timedOut = true; });
    }

    // Waits for the next box and presses `button` there; what it showed (nothing when no box
    // with that button came).
    Box answerNext(const QString &button)
    {
        const qsizetype before = answered.size();
        press = [button](qsizetype) { return button; };
        const bool done = QTest::qWaitFor([&] { return answered.size() > before; }, 20'000);
        press = nullptr;
        return done ? answered.last() : Box();
    }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (timedOut) {
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            return;
        }
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box || !box->isVisible() || !press)
            return;
        const QString choice = press(answered.size());
        const QList<QAbstractButton *> buttons = box->buttons();
        const auto chosen = std::ranges::find(buttons, choice, &QAbstractButton::text);
        if (choice.isEmpty() || chosen == buttons.end())
            return;
        Box seen { box->objectName(), box->windowTitle(), box->text(), box->informativeText(), {} };
        for (const QAbstractButton *button : buttons)
            seen.buttons << button->text();
        for (const QLabel *label : box->findChildren<QLabel *>())
            seen.plainText &= label->text().isEmpty() || label->textFormat() == Qt::PlainText;
        answered << seen;
        (*chosen)->click();
    }

    QTimer m_poll;
};

} // namespace FWTest
