#pragma once

// What the end-to-end tests share: the real `ferrowick` started against the fake provider, and the
// desktop tools a user's actions go through (xdotool, xclip, secret-tool, the notification mock).
// Every wait is bounded; the tests run only inside scripts/headless.

#include "Evidence.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QProcess>
#include <QSize>
#include <QTemporaryDir>
#include <QTest>

#include <FakeProviderProcess.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace E2E {

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

inline const QString serviceID = u"app.ferrowick.Ferrowick"_s;
// Waits end as soon as their condition holds; the limit only has to cover a loaded CI machine
// running the sanitizer build.
inline constexpr int patienceMs = 30'000;

inline bool inHarness()
{
    return qEnvironmentVariable("FERROWICK_HARNESS") == u"1"_s &&
        qEnvironmentVariable("QT_QPA_PLATFORM") == u"xcb"_s;
}

struct ToolRun
{
    bool ok = false; // finished in time with exit status 0
    QByteArray output;
};

// Runs a command-line tool to its end (10 s at most). Its errors go to the test's output unless
// they are expected.
inline ToolRun run(const QString &program, const QStringList &arguments,
    const std::optional<QByteArray> &input = std::nullopt, bool showErrors = true)
{
    QProcess tool;
    if (showErrors)
        tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    else
        tool.setStandardErrorFile(QProcess::nullDevice());
    if (!input)
        tool.setStandardInputFile(QProcess::nullDevice());
    tool.start(program, arguments);
    if (input) {
        tool.write(*input);
        tool.closeWriteChannel();
    }
    if (!tool.waitForFinished(10'000)) {
        tool.kill();
        tool.waitForFinished();
        return {};
    }
    return { tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0,
        tool.readAllStandardOutput() };
}

// --- Keyring, preferences, log ----------------------------------------------------------------

inline bool storeSecret(const QString &account, const QByteArray &value)
{
    if (account == u"password"_s)
        Evidence::noteSecret(u"password"_s, value);
    return run(u"secret-tool"_s,
        { u"store"_s, u"--label=Ferrowick "_s + account, u"service"_s, serviceID, u"account"_s,
            account },
        value)
        .ok;
}

inline std::optional<QByteArray> lookupSecret(const QString &account)
{
    const ToolRun lookup =
        run(u"secret-tool"_s, { u"lookup"_s, u"service"_s, serviceID, u"account"_s, account });
    if (!lookup.ok)
        return std::nullopt;
    // A password found there is one the program stored (a migration, a save): the audit looks
    // for it, and for the token it makes with the last login looked up.
    static QString login;
    if (account == u"login"_s)
        login = QString::fromUtf8(lookup.output);
    else if (account == u"password"_s)
        Evidence::noteCredentials(login, QString::fromUtf8(lookup.output));
    return lookup.output;
}

inline QString preferencesFile()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + u"/Ferrowick/Ferrowick.conf"_s;
}

inline QString logFile()
{
    return qEnvironmentVariable("XDG_STATE_HOME") + u"/Ferrowick/debug.log"_s;
}

// The log's messages, without their time stamps.
inline QStringList logMessages()
{
    QFile file(logFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList messages;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
        messages << line.section(u' ', 1);
    return messages;
}

inline QStringList messagesStartingWith(const QString &prefix)
{
    QStringList found;
    for (const QString &message : logMessages()) {
        if (message.startsWith(prefix))
            found << message;
    }
    return found;
}

inline bool waitForLog(const QString &prefix, qsizetype count = 1)
{
    const bool found =
        QTest::qWaitFor([&] { return messagesStartingWith(prefix).size() >= count; }, patienceMs);
    Evidence::readProviders();
    return found;
}

// For failure messages.
inline QByteArray logDump()
{
    return "debug log:\n  " + logMessages().join(u"\n  "_s).toUtf8();
}

// --- Notifications (python3-dbusmock records every Notify call) ---------------------------------

struct Notice
{
    QString summary;
    QString body;
    friend bool operator==(const Notice &, const Notice &) = default;
};

inline QDBusMessage callMock(const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.Notifications"_s,
        u"/org/freedesktop/Notifications"_s, u"org.freedesktop.DBus.Mock"_s, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 10'000);
}

// Each Notify call's summary and body, oldest first; nothing when the mock did not answer.
inline std::optional<QList<Notice>> notices()
{
    const QDBusMessage reply = callMock(u"GetMethodCalls"_s, { u"Notify"_s });
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    QList<Notice> result;
    const auto calls = reply.arguments().constFirst().value<QDBusArgument>(); // a(tav)
    calls.beginArray();
    while (!calls.atEnd()) {
        qulonglong time = 0;
        QVariantList arguments; // app_name, replaces_id, icon, summary, body, ...
        calls.beginStructure();
        calls >> time >> arguments;
        calls.endStructure();
        if (arguments.size() >= 5)
            result << Notice { arguments[3].toString(), arguments[4].toString() };
    }
    calls.endArray();
    return result;
}

inline bool clearNotices()
{
    return callMock(u"ClearCalls"_s, {}).type() == QDBusMessage::ReplyMessage;
}

// --- Input, clipboard, windows ------------------------------------------------------------------

// Keys as xdotool names them, e.g. "ctrl+alt+shift+s"; several are pressed one after the other.
inline bool pressKeys(const QStringList &keys)
{
    Evidence::readProviders();
    return run(u"xdotool"_s, QStringList { u"key"_s } + keys).ok;
}

// Empty also when nobody owns the clipboard (xclip then complains).
inline QByteArray clipboard()
{
    return run(u"xclip"_s, { u"-selection"_s, u"clipboard"_s, u"-o"_s }, std::nullopt, false)
        .output;
}

// Another application holding text on the clipboard: xclip in the foreground (no forked owner is
// left behind), until someone else takes the clipboard or this object goes.
class ClipboardOwner
{
public:
    ~ClipboardOwner() { release(); }

    bool set(const QByteArray &text)
    {
        release();
        // In the foreground it reports every request it serves.
        m_xclip.setStandardOutputFile(QProcess::nullDevice());
        m_xclip.setStandardErrorFile(QProcess::nullDevice());
        m_xclip.start(u"xclip"_s, { u"-quiet"_s, u"-selection"_s, u"clipboard"_s, u"-i"_s });
        m_xclip.write(text);
        m_xclip.closeWriteChannel();
        return QTest::qWaitFor([&] { return clipboard() == text; }, patienceMs);
    }

    void release()
    {
        if (m_xclip.state() != QProcess::NotRunning) {
            m_xclip.kill();
            m_xclip.waitForFinished();
        }
    }

private:
    QProcess m_xclip;
};

// Visible windows matching an xdotool search, e.g. { "--name", "^Ferrowick Settings$" }.
inline QStringList visibleWindows(const QStringList &criteria)
{
    const ToolRun search =
        run(u"xdotool"_s, QStringList { u"search"_s, u"--onlyvisible"_s } + criteria);
    return QString::fromLatin1(search.output).split(u'\n', Qt::SkipEmptyParts);
}

// Ferrowick's mapped windows: the tray icon, open menus, the settings window, the paste panel.
inline QStringList ferrowickWindows()
{
    return visibleWindows({ u"--classname"_s, u"^ferrowick$"_s });
}

inline QStringList windowsTitled(const QString &title)
{
    return visibleWindows({ u"--name"_s, u'^' + title + u'$' });
}

inline bool waitForWindow(const QString &title)
{
    const bool shown = QTest::qWaitFor([&] { return !windowsTitled(title).isEmpty(); }, patienceMs);
    Evidence::readProviders();
    return shown;
}

inline bool waitForNoWindow(const QString &title)
{
    const bool gone = QTest::qWaitFor([&] { return windowsTitled(title).isEmpty(); }, patienceMs);
    Evidence::readProviders();
    return gone;
}

// The window with the keyboard focus, as xdotool names windows.
inline QString focusedWindow()
{
    return QString::fromLatin1(run(u"xdotool"_s, { u"getwindowfocus"_s }).output).trimmed();
}

inline bool waitForFocus(const QString &window)
{
    return QTest::qWaitFor([&] { return focusedWindow() == window; }, patienceMs);
}

// Where a window's content is on the screen, without the window manager's frame; empty if it is
// gone.
inline QRect windowGeometry(const QString &window)
{
    const ToolRun geometry =
        run(u"xdotool"_s, { u"getwindowgeometry"_s, u"--shell"_s, window }, std::nullopt, false);
    QRect rect;
    for (const QByteArray &line : geometry.output.split('\n')) {
        const int value = line.mid(line.indexOf('=') + 1).toInt();
        if (line.startsWith("X="))
            rect.moveLeft(value);
        else if (line.startsWith("Y="))
            rect.moveTop(value);
        else if (line.startsWith("WIDTH="))
            rect.setWidth(value);
        else if (line.startsWith("HEIGHT="))
            rect.setHeight(value);
    }
    return rect;
}

inline QSize windowSize(const QString &window)
{
    return windowGeometry(window).size();
}

// A left click at a point of a window's content.
inline bool click(const QString &window, QPoint at)
{
    return run(u"xdotool"_s,
        { u"mousemove"_s, u"--window"_s, window, QString::number(at.x()), QString::number(at.y()),
            u"click"_s, u"1"_s })
        .ok;
}

// Types text into the focused window, a line break as Return (xdotool's own line break is a key
// Qt does not know).
inline bool typeText(const QString &text)
{
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if ((i > 0 && !pressKeys({ u"Return"_s })) ||
            (!lines[i].isEmpty() && !run(u"xdotool"_s, { u"type"_s, u"--"_s, lines[i] }).ok))
            return false;
    }
    return true;
}

// Another X client on the desktop: holds key combinations as a desktop's own shortcuts do, sees
// whether someone holds the whole keyboard, and reads what a window shows.
class XClient
{
public:
    XClient()
        : m_connection(xcb_connect(nullptr, nullptr))
    {
    }
    ~XClient() { xcb_disconnect(m_connection); }
    XClient(const XClient &) = delete;
    XClient &operator=(const XClient &) = delete;

    // A passive grab on the root window with exactly these modifiers, for every keycode of the
    // keysym: enough to refuse the program's grab of that combination.
    bool grabKey(xcb_keysym_t keysym, std::uint16_t modifiers)
    {
        if (xcb_connection_has_error(m_connection))
            return false;
        xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(m_connection);
        xcb_keycode_t *keycodes = xcb_key_symbols_get_keycode(symbols, keysym);
        bool grabbed = keycodes && *keycodes != XCB_NO_SYMBOL;
        for (const xcb_keycode_t *code = keycodes; code && *code != XCB_NO_SYMBOL; ++code) {
            const xcb_void_cookie_t cookie = xcb_grab_key_checked(m_connection, 1, root(),
                modifiers, *code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
            if (xcb_generic_error_t *error = xcb_request_check(m_connection, cookie)) {
                std::free(error);
                grabbed = false;
            }
        }
        std::free(keycodes);
        xcb_key_symbols_free(symbols);
        return grabbed;
    }

    // Whether another client holds the keyboard, as the shortcut recorder does while it records.
    // The server tells only by trying: the grab and its release go out in one write, which the
    // server handles in one go, so a granted grab never stands in the recorder's way.
    bool keyboardGrabbed()
    {
        if (xcb_connection_has_error(m_connection))
            return false;
        const xcb_grab_keyboard_cookie_t cookie = xcb_grab_keyboard(
            m_connection, 0, root(), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_ungrab_keyboard(m_connection, XCB_CURRENT_TIME);
        const std::unique_ptr<xcb_grab_keyboard_reply_t, decltype(&std::free)> reply(
            xcb_grab_keyboard_reply(m_connection, cookie, nullptr), &std::free);
        return reply && reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
    }

    // How many pixels of a window's content have exactly this colour (0xRRGGBB); -1 if it cannot
    // be read. Only a window on top shows what it draws: there is no compositor.
    qsizetype pixelsOfColour(const QString &window, std::uint32_t colour)
    {
        if (xcb_connection_has_error(m_connection))
            return -1;
        const auto id = xcb_window_t(window.toUInt());
        using Geometry = std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)>;
        const Geometry geometry(
            xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, id), nullptr),
            &std::free);
        if (!geometry || geometry->depth != 24)
            return -1;
        using Image = std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)>;
        const Image image(xcb_get_image_reply(m_connection,
                              xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, id, 0, 0,
                                  geometry->width, geometry->height, ~0u),
                              nullptr),
            &std::free);
        // Depth 24 comes as 32-bit pixels in the server's byte order: little-endian on Xvfb here.
        if (!image || xcb_get_setup(m_connection)->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
            return -1;
        const auto *pixels =
            reinterpret_cast<const std::uint32_t *>(xcb_get_image_data(image.get()));
        const int count = xcb_get_image_data_length(image.get()) / 4;
        return std::count_if(pixels, pixels + count,
            [&](std::uint32_t pixel) { return (pixel & 0xffffff) == colour; });
    }

private:
    xcb_window_t root() const
    {
        return xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    }

    xcb_connection_t *m_connection;
};

// --- The application ----------------------------------------------------------------------------

// A `ferrowick` process over the provider, which must outlive it. Its browser is a script that
// records each URL it is asked to open; its output goes to the test's. Its system log is captured
// (systemLog()), and each start and stop leaves evidence for the security audit (see Evidence
// above).
class App
{
public:
    explicit App(FWTest::FakeProviderProcess &provider)
        : m_provider(&provider)
    {
        const QString browser = m_folder.filePath(u"browser"_s);
        QFile script(browser);
        if (script.open(QIODevice::WriteOnly)) {
            script.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$0.opened\"\n");
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(provider.serviceEnvironment());
        m_environment.insert(u"FERROWICK_UPDATE_FEED"_s, provider.appcastUrl().toString());
        // xdg-open without a desktop environment falls back to $BROWSER, unless a desktop file
        // claims https first: the folder it searches holds none.
        m_environment.insert(u"BROWSER"_s, browser);
        m_environment.insert(u"XDG_DATA_DIRS"_s, m_folder.path());
        // The desktop's icon themes are found there too, so the windows look as they do for users.
        QFile::link(u"/usr/share/icons"_s, m_folder.filePath(u"icons"_s));

        // The program trusts the provider's authority and the system's, nothing a machine's own
        // set-up adds (Qt reads neither variable, but the audit allows no trust knob at all).
        m_environment.remove(u"SSL_CERT_FILE"_s);
        m_environment.remove(u"SSL_CERT_DIR"_s);
        // Its system log goes to a file (tests/support/SyslogCapture.cpp). AddressSanitizer
        // refuses to start after a preloaded library unless told not to check.
        static int apps = 0;
        if (Evidence::enabled()) {
            m_evidence = Evidence::runFolder() + u"/app-%1"_s.arg(++apps);
            QDir().mkpath(m_evidence);
            Evidence::writeFile(
                m_evidence + u"/setup.tsv"_s, "provider\t" + provider.origin().toEncoded() + '\n');
        }
        m_environment.insert(u"FERROWICK_SYSLOG_CAPTURE"_s,
            (m_evidence.isEmpty() ? m_folder.path() : m_evidence) + u"/syslog.log"_s);
        const QString preloaded = m_environment.value(u"LD_PRELOAD"_s);
        m_environment.insert(u"LD_PRELOAD"_s,
            QStringLiteral(FERROWICK_SYSLOG_CAPTURE_LIBRARY) +
                (preloaded.isEmpty() ? QString() : u':' + preloaded));
        const QString asan = m_environment.value(u"ASAN_OPTIONS"_s);
        m_environment.insert(u"ASAN_OPTIONS"_s,
            asan + (asan.isEmpty() ? u""_s : u":"_s) + u"verify_asan_link_order=0"_s);
        Evidence::providers().append(m_provider);
    }

    // A test that failed half-way must not leave the program to the harness; what it left is
    // evidence all the same.
    ~App()
    {
        if (m_process.state() != QProcess::NotRunning) {
            const QString snapshot = keepProcesses();
            m_process.kill();
            m_process.waitForFinished();
            keepFiles(snapshot);
        } else if (m_unkept) {
            keepFiles(keepProcesses());
        }
        Evidence::providers().removeOne(m_provider);
    }

    static QString program() { return QStringLiteral(FERROWICK_APP); }
    QProcessEnvironment environment() const { return m_environment; }
    // What the next start() sees, e.g. a shortened request timeout.
    void setEnvironmentVariable(const QString &name, const QString &value)
    {
        m_environment.insert(name, value);
    }
    QProcess &process() { return m_process; }

    // Starts the program and waits until its shortcuts are registered. The launch line is written
    // before the registration; the answer to the notification check is handled by the event
    // loop, which runs only once launch() has registered them.
    bool start()
    {
        // An earlier run's lines in the same log must not pass for this run's.
        const qsizetype launches = messagesStartingWith(u"launch: "_s).size();
        const qsizetype authorizations =
            messagesStartingWith(u"notification authorization "_s).size();
        m_process.setProcessEnvironment(m_environment);
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.setStandardInputFile(QProcess::nullDevice());
        m_process.start(program(), {});
        if (!m_process.waitForStarted(patienceMs))
            return false;
        m_unkept = true;
        const bool started =
            QTest::qWaitFor(
                [&] {
                    return m_process.state() == QProcess::NotRunning ||
                        (messagesStartingWith(u"launch: "_s).size() > launches &&
                            messagesStartingWith(u"notification authorization "_s).size() >
                                authorizations);
                },
                patienceMs) &&
            m_process.state() == QProcess::Running;
        // The log's folder and file as the program made them, and its environment as it runs.
        keepFiles(keepProcesses());
        return started;
    }

    // A second start while this one runs: it hands over to this one, which opens its settings,
    // and exits 0 at once.
    bool startSecond()
    {
        QProcess second;
        second.setProcessEnvironment(m_environment);
        second.setProcessChannelMode(QProcess::ForwardedChannels);
        second.setStandardInputFile(QProcess::nullDevice());
        second.start(program(), {});
        return second.waitForFinished(patienceMs) && second.exitStatus() == QProcess::NormalExit &&
            second.exitCode() == 0;
    }

    // SIGTERM, as a session's end sends it: true when the program quit cleanly with status 0
    // (under AddressSanitizer also without leaks) and left no secret the test used in its logs
    // or preferences.
    bool stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return false;
        // Every process while the program still runs; its files as it leaves them.
        const QString snapshot = keepProcesses();
        const bool clean = terminate();
        keepFiles(snapshot);
        // The audit looks further (command lines, environments, every run); this is the test
        // that leaked, failing where it happened.
        const QStringList leaks = Evidence::secretsIn(logFile()) +
            Evidence::secretsIn(preferencesFile()) +
            Evidence::secretsIn(m_environment.value(u"FERROWICK_SYSLOG_CAPTURE"_s));
        if (!leaks.isEmpty())
            qWarning("ferrowick left secrets behind: %s", qPrintable(leaks.join(u"; "_s)));
        return clean && leaks.isEmpty();
    }

    // The URLs handed to the browser, in order.
    QStringList opened() const
    {
        QFile record(m_folder.filePath(u"browser.opened"_s));
        if (!record.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(record.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    bool waitForOpened(qsizetype count)
    {
        return QTest::qWaitFor([&] { return opened().size() >= count; }, patienceMs);
    }

    // The program's system log so far, "<PRIORITY>ferrowick[PID]: MESSAGE" a line; priority 13
    // is user.notice, 11 user.err.
    QStringList systemLog() const
    {
        return QString::fromUtf8(
            Evidence::readAll(m_environment.value(u"FERROWICK_SYSLOG_CAPTURE"_s)))
            .split(u'\n', Qt::SkipEmptyParts);
    }

private:
    bool terminate()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(patienceMs)) {
            qWarning("ferrowick was still running %d ms after SIGTERM", patienceMs);
            m_process.kill();
            m_process.waitForFinished();
            return false;
        }
        if (m_process.exitStatus() != QProcess::NormalExit || m_process.exitCode() != 0) {
            qWarning("ferrowick ended with %s %d after SIGTERM",
                m_process.exitStatus() == QProcess::NormalExit ? "status" : "signal",
                m_process.exitCode());
            return false;
        }
        return true;
    }

    // A new snapshot folder with the processes as they are now; empty without evidence.
    QString keepProcesses()
    {
        Evidence::readProviders();
        if (m_evidence.isEmpty())
            return {};
        const QString folder = m_evidence + u"/snapshot-%1"_s.arg(++m_snapshots);
        QDir().mkpath(folder);
        const qint64 pid = m_process.state() == QProcess::NotRunning ? 0 : m_process.processId();
        const QByteArray environment = Evidence::keepProcesses(folder, pid);
        // The authorities it was told to trust: the file may be gone by the time of the audit (or
        // already, when a test has replaced the provider since the start).
        for (const QByteArray &variable : environment.split('\0')) {
            const QByteArray authorities = variable.startsWith("FERROWICK_CA_FILE=")
                ? Evidence::readAll(QFile::decodeName(variable.sliced(18)))
                : QByteArray();
            if (!authorities.isEmpty())
                Evidence::writeFile(folder + u"/trusted-authorities.pem"_s, authorities);
        }
        return folder;
    }

    void keepFiles(const QString &folder)
    {
        m_unkept = false;
        if (folder.isEmpty())
            return;
        QFile::copy(logFile(), folder + u"/debug.log"_s);
        QFile::copy(preferencesFile(), folder + u"/Ferrowick.conf"_s);
        Evidence::writeFile(folder + u"/modes.tsv"_s,
            "folder\t" + Evidence::mode(QFileInfo(logFile()).path()) + "\nfile\t" +
                Evidence::mode(logFile()) + '\n');
    }

    FWTest::FakeProviderProcess *m_provider;
    QTemporaryDir m_folder;
    QProcessEnvironment m_environment;
    QProcess m_process;
    QString m_evidence; // this program's evidence folder; empty: none kept
    int m_snapshots = 0;
    bool m_unkept = false; // started since the last snapshot of its files
};

// --- The program's windows and its shrink, as a user meets them ----------------------------------

inline const QString settingsTitle = u"Ferrowick Settings"_s;
inline const QString alertTitle = u"Ferrowick"_s;

// The settings window's layout, as a pointer finds it: the toolbar on top, then the pane, 520 wide
// and 230 (General) or 310 (Shortcuts) high. In the pane a 24 px margin, the header line (14 px in
// the harness's font) and 16 px lead to a card of 44 px rows split by 1 px lines; each row's
// control sits 12 px inside the card's right edge. A point in the middle of a control stays on it
// when the font changes a little.
inline constexpr int generalHeight = 230;
inline constexpr int shortcutsHeight = 310;
inline constexpr int cardTop = 24 + 14 + 16;
inline constexpr int fieldWidth = 300;
inline constexpr int recorderWidth = 148;

inline QPoint control(QSize window, int paneHeight, int row, int width)
{
    return { window.width() - 24 - 12 - width / 2,
        window.height() - paneHeight + cardTop + row * 45 + 22 };
}

inline QPoint loginField(QSize window)
{
    return control(window, generalHeight, 0, fieldWidth);
}

// What the panes' red lines (and their icons) are drawn in, on a light palette; nothing else in
// the window has that red.
inline constexpr std::uint32_t errorRed = 0xc01c28;

// Login and password typed into the General pane of a focused settings window, then Return.
inline bool typeCredentials(const QString &window, const QString &login, const QString &password)
{
    return click(window, loginField(windowSize(window))) && typeText(login) &&
        pressKeys({ u"Tab"_s }) && typeText(password) && pressKeys({ u"Return"_s });
}

// Return on an alert's focused OK button, as a user would.
inline bool dismissAlert(const QString &alert)
{
    return run(u"xdotool"_s, { u"windowfocus"_s, u"--sync"_s, alert }).ok && waitForFocus(alert) &&
        pressKeys({ u"Return"_s }) && waitForNoWindow(alertTitle);
}

// The shrink shortcut, until the provider's short link is on the clipboard.
inline bool shortLinkArrives(FWTest::FakeProviderProcess &provider)
{
    const QString shortLinks = provider.origin().toString() + u"/s/"_s;
    return pressKeys({ u"ctrl+alt+shift+s"_s }) &&
        QTest::qWaitFor(
            [&] { return QString::fromUtf8(clipboard()).startsWith(shortLinks); }, patienceMs);
}

// A link on the clipboard, then shortLinkArrives(): the program still works after a fault.
inline bool shrinks(FWTest::FakeProviderProcess &provider, ClipboardOwner &owner)
{
    return owner.set("https://example.com/after-the-fault") && shortLinkArrives(provider);
}

// --- Fresh state between cases ------------------------------------------------------------------

// A desktop this program has never run on: no keyring items, preferences or log, no recorded
// notifications.
inline bool resetDesktop()
{
    for (const QString &account : { u"login"_s, u"password"_s }) {
        // Exit status 1 when there was nothing to clear.
        run(u"secret-tool"_s, { u"clear"_s, u"service"_s, serviceID, u"account"_s, account },
            std::nullopt, false);
        if (lookupSecret(account))
            return false;
    }
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME") + u"/Ferrowick"_s;
    const QString state = qEnvironmentVariable("XDG_STATE_HOME") + u"/Ferrowick"_s;
    return QDir(config).removeRecursively() && QDir(state).removeRecursively() && clearNotices();
}

inline bool storeCredentials(const QString &login, const QString &password)
{
    Evidence::noteCredentials(login, password);
    return storeSecret(u"login"_s, login.toUtf8()) && storeSecret(u"password"_s, password.toUtf8());
}

// "METHOD target" of each request to the services, in arrival order (the update feed left out).
inline QStringList apiRequests(FWTest::FakeProviderProcess &provider)
{
    QStringList result;
    for (const FWTest::RecordedRequest &request : provider.requests()) {
        Evidence::noteRequest(request);
        if (request.path.startsWith(u"/api/"_s))
            result << QString::fromLatin1(request.method + ' ' + request.target);
    }
    return result;
}

inline bool waitForRequest(FWTest::FakeProviderProcess &provider, const QString &request)
{
    return QTest::qWaitFor([&] { return apiRequests(provider).contains(request); }, patienceMs);
}

} // namespace E2E
