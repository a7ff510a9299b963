#pragma once

// What the end-to-end tests share: the real `ferrowick` started against the fake provider, the
// desktop tools a user's actions go through (xdotool, xclip or wl-clipboard, secret-tool, the
// notification mock, KWin's shortcut service and scripts, weston-debug), and the check that no
// secret a test used leaves the keyring. Every wait is bounded; the tests run only inside
// scripts/headless.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <FakeProviderProcess.h>
#include <optional>

namespace E2E {

using namespace Qt::StringLiterals;

inline const QString shrinkKeys = u"ctrl+alt+shift+s"_s;
inline const QString pasteKeys = u"ctrl+alt+shift+p"_s;
// Waits end as soon as their condition holds; the limit only has to cover a loaded CI machine
// running the sanitizer build.
inline constexpr int patienceMs = 30'000;

// Runs a command-line tool to its end (10 s at most; `tool` kills it then): its output, if it
// exited with status 0.
inline std::optional<QByteArray> run(const QString &program, const QStringList &arguments,
    const QByteArray &input = {}, bool showErrors = true)
{
    QProcess tool;
    if (showErrors)
        tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.start(program, arguments);
    tool.write(input);
    tool.closeWriteChannel();
    if (!tool.waitForFinished(10'000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput();
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// --- Secrets and the keyring ---------------------------------------------------------------------

// What App::stop() looks for, each with its kind. Shorter values would match by chance ("secret"
// is in "secret-tool"): the tests use 8 bytes or more.
inline QMap<QByteArray, QString> secrets;

// A password, and what the program makes of it to sign in.
inline void noteCredentials(const QString &login, const QString &password)
{
    const QByteArray pair = (login + u':' + password).toUtf8();
    secrets.insert(password.toUtf8(), u"password"_s);
    secrets.insert(pair, u"login:password"_s);
    secrets.insert(pair.toBase64(), u"Basic token"_s);
}

// secret-tool on the program's item for that account, e.g. keyring({ "lookup" }, "login").
inline std::optional<QByteArray> keyring(
    QStringList command, const QString &account, const QString &secret = {})
{
    command << u"service"_s << u"app.ferrowick.Ferrowick"_s << u"account"_s << account;
    return run(u"secret-tool"_s, command, secret.toUtf8());
}

inline bool storeCredentials(const QString &login, const QString &password)
{
    noteCredentials(login, password);
    const QStringList store { u"store"_s, u"--label=Ferrowick"_s };
    return keyring(store, u"login"_s, login) && keyring(store, u"password"_s, password);
}

// --- The program's files -------------------------------------------------------------------------

// In the harness's XDG folders, set before the test starts.
inline const QString preferencesFile =
    qEnvironmentVariable("XDG_CONFIG_HOME") + u"/Ferrowick/Ferrowick.conf"_s;
inline const QString logFile = qEnvironmentVariable("XDG_STATE_HOME") + u"/Ferrowick/debug.log"_s;
inline const QString recentFile =
    qEnvironmentVariable("XDG_STATE_HOME") + u"/Ferrowick/recent.json"_s;

// The debug log's messages that start so, without their time stamps.
inline QStringList logLines(const QString &prefix)
{
    QStringList found;
    for (const QString &line : QString::fromUtf8(readAll(logFile)).split(u'\n')) {
        if (const QString message = line.section(u' ', 1); message.startsWith(prefix))
            found << message;
    }
    return found;
}

// For failure messages.
inline QByteArray logDump()
{
    return "debug log:\n" + readAll(logFile);
}

// --- Notifications: python3-dbusmock records every Notify call -----------------------------------

// Each notice's body, oldest first.
inline QStringList notices()
{
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.Notifications"_s,
        u"/org/freedesktop/Notifications"_s, u"org.freedesktop.DBus.Mock"_s, u"GetMethodCalls"_s);
    call.setArguments({ u"Notify"_s });
    QList<std::pair<qulonglong, QVariantList>> calls; // when; app_name, id, icon, summary, body...
    QDBusConnection::sessionBus().call(call).arguments().value(0).value<QDBusArgument>() >> calls;
    QStringList bodies;
    for (const auto &[time, arguments] : calls)
        bodies << arguments.value(4).toString();
    return bodies;
}

// --- Keyboard, pointer, clipboard, windows -------------------------------------------------------

// Keys as xdotool names them, e.g. "ctrl+alt+shift+s", pressed one after the other.
inline bool pressKeys(const QStringList &keys)
{
    return run(u"xdotool"_s, QStringList { u"key"_s } + keys).has_value();
}

inline bool typeText(const QString &text)
{
    return run(u"xdotool"_s, { u"type"_s, u"--"_s, text }).has_value();
}

// In the harness's kwin and weston sessions (--session): no X there, the clipboard is Wayland's.
inline const bool onWayland = qEnvironmentVariableIsSet("WAYLAND_DISPLAY");

// Empty also when nobody owns the clipboard (xclip then complains), or where no client may read
// it (wl-paste on a compositor without the data-control protocol).
inline QByteArray clipboard()
{
    if (onWayland)
        return run(u"wl-paste"_s, { u"-n"_s }, {}, false).value_or(QByteArray());
    return run(u"xclip"_s, { u"-selection"_s, u"clipboard"_s, u"-o"_s }, {}, false)
        .value_or(QByteArray());
}

// Another application holding text on the clipboard: xclip (wl-copy) in the foreground, so that
// no forked owner outlives the test.
struct ClipboardOwner : QProcess
{
    ~ClipboardOwner() override
    {
        kill();
        waitForFinished();
    }

    bool set(const QByteArray &text)
    {
        setStandardOutputFile(QProcess::nullDevice()); // -quiet tells of every request
        if (onWayland) // wl-copy 2.1.0 offers garbage for a type it guesses
            start(u"wl-copy"_s, { u"--foreground"_s, u"--type"_s, u"text/plain"_s });
        else
            start(u"xclip"_s, { u"-quiet"_s, u"-selection"_s, u"clipboard"_s, u"-i"_s });
        // wl-copy offers the text before it has read all of it: a reader waits until it has.
        write(text);
        waitForBytesWritten(patienceMs);
        closeWriteChannel();
        return QTest::qWaitFor([&] { return clipboard() == text; }, patienceMs);
    }
};

// Mapped windows of that title; without one, all of Ferrowick's: the tray icon, menus, windows.
inline QStringList windows(const QString &title = {})
{
    const QStringList search = title.isNull() ? QStringList { u"--classname"_s, u"^ferrowick$"_s }
                                              : QStringList { u"--name"_s, u'^' + title + u'$' };
    const auto found = run(u"xdotool"_s, QStringList { u"search"_s, u"--onlyvisible"_s } + search);
    return QString::fromLatin1(found.value_or(QByteArray())).split(u'\n', Qt::SkipEmptyParts);
}

inline bool waitForWindows(const QString &title, qsizetype count)
{
    return QTest::qWaitFor([&] { return windows(title).size() == count; }, patienceMs);
}

// A window of that title other than `besides`, once it has the keyboard focus; empty if none does.
inline QString focusedWindow(const QString &title, const QString &besides = {})
{
    QString focused;
    const bool found = QTest::qWaitFor(
        [&] {
            const auto focus = run(u"xdotool"_s, { u"getwindowfocus"_s });
            focused = QString::fromLatin1(focus.value_or(QByteArray())).trimmed();
            return focused != besides && windows(title).contains(focused);
        },
        patienceMs);
    return found ? focused : QString();
}

// --- Wayland: windows and global shortcuts, through the compositor's own interfaces -------------

// A method call on the session bus; its answer, or an error message.
inline QDBusMessage callBus(const QString &service, const QString &path, const QString &method,
    const QVariantList &arguments = {})
{
    const QString interface = method.section(u'.', 0, -2);
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, interface, method.section(u'.', -1));
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call);
}

// KWin's caption of its active window; empty when none is, or KWin did not answer. KWin's
// scripts see its windows, and what they print goes to its log in the harness folder.
inline QString activeWindow()
{
    static int runs = 0;
    const QString name = u"e2e-active-%1"_s.arg(++runs);
    QTemporaryFile script(QDir::tempPath() + u"/XXXXXX.js"_s);
    if (!script.open())
        return {};
    script.write(
        u"const w = workspace.activeClient; print('%1: ' + (w ? w.caption : ''));"_s.arg(name)
            .toUtf8());
    script.close();
    const QString scripting = u"org.kde.kwin.Scripting."_s;
    const QString kwin = u"org.kde.KWin"_s;
    if (callBus(kwin, u"/Scripting"_s, scripting + u"loadScript"_s, { script.fileName(), name })
            .type() == QDBusMessage::ErrorMessage)
        return {};
    callBus(kwin, u"/Scripting"_s, scripting + u"start"_s);
    const QString log = qEnvironmentVariable("FERROWICK_SANDBOX") + u"/harness/kwin.log"_s;
    const QString marker = u"js: "_s + name + u": "_s;
    const bool printed =
        QTest::qWaitFor([&] { return readAll(log).contains(marker.toUtf8()); }, 5'000);
    callBus(kwin, u"/Scripting"_s, scripting + u"unloadScript"_s, { name });
    const QString text = QString::fromUtf8(readAll(log));
    return printed ? text.sliced(text.indexOf(marker) + marker.size()).section(u'\n', 0, 0)
                   : QString();
}

// Titles of weston's top-level windows (the harness starts it with its debug protocol on).
inline QStringList westonWindows()
{
    const QString graph =
        QString::fromUtf8(run(u"weston-debug"_s, { u"scene-graph"_s }).value_or(QByteArray()));
    QStringList titles;
    for (const QString &line : graph.split(u'\n')) {
        if (const QString title = line.section(u"top-level window '"_s, 1); !title.isEmpty())
            titles << title.section(u"' of "_s, 0, -2);
    }
    return titles;
}

// The path of the kglobalaccel component that holds that shortcut, as the desktop portal named
// it; empty while none does.
inline QString shortcutComponent(const QString &shortcut)
{
    const QString accel = u"org.kde.kglobalaccel"_s;
    const QDBusMessage components =
        callBus(accel, u"/kglobalaccel"_s, u"org.kde.KGlobalAccel.allComponents"_s);
    for (const QDBusObjectPath &path :
        qdbus_cast<QList<QDBusObjectPath>>(components.arguments().value(0))) {
        const QDBusMessage names =
            callBus(accel, path.path(), u"org.kde.kglobalaccel.Component.shortcutNames"_s);
        if (names.arguments().value(0).toStringList().contains(shortcut))
            return path.path();
    }
    return {};
}

// What KWin does once it has matched a key press to the shortcut.
inline bool invokeShortcut(const QString &shortcut)
{
    const QString component = shortcutComponent(shortcut);
    return !component.isEmpty() &&
        callBus(u"org.kde.kglobalaccel"_s, component,
            u"org.kde.kglobalaccel.Component.invokeShortcut"_s, { shortcut })
            .type() == QDBusMessage::ReplyMessage;
}

// Keys typed through KWin's fake input (tools/fake-keys); while it runs the seat has a keyboard,
// as a real session's has, so start it before the program.
class FakeKeys
{
public:
    ~FakeKeys()
    {
        m_process.closeWriteChannel(); // it ends at the end of its input
        m_process.waitForFinished();
    }

    bool start(const QString &program)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program);
        return answer() == "ready";
    }

    // "type TEXT", "key COMBO...", "down COMBO" or "up COMBO": true once KWin has the keys.
    bool send(const QString &command)
    {
        m_process.write(command.toUtf8() + '\n');
        return answer() == "ok";
    }

private:
    QByteArray answer()
    {
        const bool answered = QTest::qWaitFor(
            [&] { return m_process.canReadLine() || m_process.state() == QProcess::NotRunning; },
            patienceMs);
        return answered ? m_process.readLine().trimmed() : QByteArray();
    }

    QProcess m_process;
};

// --- The provider and the program ----------------------------------------------------------------

// The body of the first request to that path (decoded); none before there is one.
inline std::optional<QByteArray> requestBody(
    FWTest::FakeProviderProcess &provider, const QString &path)
{
    for (const FWTest::RecordedRequest &request : provider.requests()) {
        if (request.path == path)
            return request.body;
    }
    return std::nullopt;
}

// A `ferrowick` process over the provider, which must outlive it; started again after a stop, it
// is the same program on the same desktop. Its browser is a script that records each URL.
class App
{
public:
    explicit App(FWTest::FakeProviderProcess &provider)
    {
        QFile script(browser());
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$0.opened\"\n");
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(provider.serviceEnvironment());
        environment.insert(u"FERROWICK_UPDATE_FEED"_s, provider.appcastUrl().toString());
        // xdg-open without a desktop environment falls back to $BROWSER, unless a desktop file
        // claims https first: the folder it searches holds none, only the icon themes (so that
        // the windows look and measure as they do for users).
        environment.insert(u"BROWSER"_s, browser());
        environment.insert(u"XDG_DATA_DIRS"_s, m_folder.path());
        QFile::link(u"/usr/share/icons"_s, m_folder.filePath(u"icons"_s));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.setProgram(QString::fromUtf8(FERROWICK_APP));
    }

    // For the next start().
    void setEnvironmentVariable(const QString &name, const QString &value)
    {
        QProcessEnvironment environment = m_process.processEnvironment();
        environment.insert(name, value);
        m_process.setProcessEnvironment(environment);
    }

    QProcess &process() { return m_process; }

    // Starts the program and waits until its shortcuts are registered: the answer to the
    // notification check is handled only once launch() has registered them.
    bool start()
    {
        const qsizetype checks = logLines(u"notification authorization "_s).size();
        m_process.start();
        return QTest::qWaitFor(
                   [&] {
                       return m_process.state() == QProcess::NotRunning ||
                           logLines(u"notification authorization "_s).size() > checks;
                   },
                   patienceMs) &&
            m_process.state() == QProcess::Running;
    }

    // Another start while this one runs, with a command or none: it must hand over to this one
    // and exit 0 at once.
    bool startSecond(const QStringList &arguments = {})
    {
        QProcess second;
        second.setProcessEnvironment(m_process.processEnvironment());
        second.start(m_process.program(), arguments);
        return second.waitForFinished(patienceMs) && second.exitStatus() == QProcess::NormalExit &&
            second.exitCode() == 0;
    }

    // The URLs handed to the browser, in order.
    QStringList opened() const
    {
        return QString::fromUtf8(readAll(browser() + u".opened"_s))
            .split(u'\n', Qt::SkipEmptyParts);
    }

    // SIGTERM, as a session's end sends it, unless the program has quit already. True when it
    // ended with status 0 (under AddressSanitizer also without leaks) and no secret a test used
    // is in what it leaves readable: its own command line and environment (as it runs), its
    // debug log, preferences and Recent list, the URLs it opened. A hit names the place, never the
    // value.
    bool stop()
    {
        const QString proc = u"/proc/%1/"_s.arg(m_process.processId()); // 0 once it has quit
        QMap<QString, QByteArray> readable;
        for (const QString &file : { proc + u"cmdline"_s, proc + u"environ"_s })
            readable.insert(file, readAll(file));
        m_process.terminate();
        const bool clean =
            (m_process.state() == QProcess::NotRunning || m_process.waitForFinished(patienceMs)) &&
            m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
        for (const QString &file :
            { logFile, preferencesFile, recentFile, browser() + u".opened"_s })
            readable.insert(file, readAll(file));
        QStringList leaks;
        for (auto file = readable.cbegin(); file != readable.cend(); ++file) {
            for (auto secret = secrets.cbegin(); secret != secrets.cend(); ++secret) {
                if (secret.key().size() >= 8 && file.value().contains(secret.key()))
                    leaks << file.key() + u": "_s + secret.value();
            }
        }
        if (!clean || !leaks.isEmpty())
            qWarning("ferrowick: exit status %d; secrets outside the keyring: %s",
                m_process.exitCode(), qPrintable(leaks.join(u"; "_s)));
        return clean && leaks.isEmpty();
    }

private:
    QString browser() const { return m_folder.filePath(u"browser"_s); }

    QTemporaryDir m_folder;
    QProcess m_process;
};

} // namespace E2E
