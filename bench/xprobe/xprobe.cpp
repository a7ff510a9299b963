// The X side of bench/run: starts a program and times when its tray icon is embedded, mapped and
// painted; presses a shortcut with XTest and times until another client owns the clipboard. One
// clock (CLOCK_MONOTONIC) for every figure, and events instead of polling, so a figure is the time
// the X server saw, not a poll interval.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <set>
#include <signal.h>
#include <string>
#include <string_view>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xfixes.h>
#include <xcb/xtest.h>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::milli>(end - start).count();
}

[[noreturn]] void fail(const std::string &message)
{
    std::fprintf(stderr, "xprobe: %s\n", message.c_str());
    std::exit(2);
}

struct FreeDeleter
{
    void operator()(void *pointer) const { std::free(pointer); }
};
template<typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// --- The log file: lines appear as the program's log thread writes them -----------------------

// Counts lines containing a text as they are appended, read incrementally; inotify says when to
// look. The folder may not exist yet when the program has never run: its parent is watched too.
class LogWatch
{
public:
    LogWatch(std::string path, std::string text)
        : m_path(std::move(path))
        , m_text(std::move(text))
        , m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (m_fd < 0)
            fail("inotify_init1 failed");
        m_folder = m_path.substr(0, m_path.rfind('/'));
        const std::string parent = m_folder.substr(0, m_folder.rfind('/'));
        if (inotify_add_watch(m_fd, parent.c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR) < 0)
            fail("cannot watch " + parent);
        watchFolder();
        scan();
    }
    ~LogWatch() { close(m_fd); }

    int fd() const { return m_fd; }
    long count() const { return m_count; }

    // After the fd was readable: drains it and reads what was appended.
    void update()
    {
        char buffer[4096];
        while (read(m_fd, buffer, sizeof buffer) > 0) { }
        watchFolder();
        scan();
    }

private:
    void watchFolder()
    {
        if (!m_folderWatched)
            m_folderWatched = inotify_add_watch(m_fd, m_folder.c_str(),
                                  IN_CREATE | IN_MODIFY | IN_MOVED_TO | IN_CLOSE_WRITE) >= 0;
    }

    void scan()
    {
        const int file = open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (file < 0)
            return;
        const off_t size = lseek(file, 0, SEEK_END);
        // The program starts a new file past its size limit.
        if (size < m_offset) {
            m_offset = 0;
            m_partial.clear();
        }
        std::string text(std::size_t(size - m_offset), '\0');
        const ssize_t got = pread(file, text.data(), text.size(), m_offset);
        close(file);
        if (got <= 0)
            return;
        text.resize(std::size_t(got));
        m_offset += got;
        m_partial += text;
        std::size_t start = 0;
        for (std::size_t end; (end = m_partial.find('\n', start)) != std::string::npos;
             start = end + 1) {
            if (std::string_view(m_partial).substr(start, end - start).find(m_text) !=
                std::string_view::npos)
                ++m_count;
        }
        m_partial.erase(0, start);
    }

    std::string m_path;
    std::string m_folder;
    std::string m_text;
    int m_fd;
    bool m_folderWatched = false;
    off_t m_offset = 0;
    std::string m_partial;
    long m_count = 0;
};

// --- X ----------------------------------------------------------------------------------------

class Display
{
public:
    Display()
        : m_connection(xcb_connect(nullptr, &m_screenNumber))
    {
        if (xcb_connection_has_error(m_connection))
            fail("cannot connect to the X display");
        fcntl(xcb_get_file_descriptor(m_connection), F_SETFD, FD_CLOEXEC);
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
        for (int i = 0; i < m_screenNumber; ++i)
            xcb_screen_next(&screens);
        m_screen = screens.data;
    }
    ~Display() { xcb_disconnect(m_connection); }
    Display(const Display &) = delete;
    Display &operator=(const Display &) = delete;

    xcb_connection_t *connection() const { return m_connection; }
    xcb_window_t root() const { return m_screen->root; }
    int screenNumber() const { return m_screenNumber; }
    int fd() const { return xcb_get_file_descriptor(m_connection); }

    xcb_atom_t atom(const char *name)
    {
        const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection,
            xcb_intern_atom(m_connection, 0, std::uint16_t(std::strlen(name)), name), nullptr));
        if (!reply)
            fail(std::string("cannot intern ") + name);
        return reply->atom;
    }

    // The first 32-bit value of a property, if the window has it.
    std::optional<std::uint32_t> cardinal(xcb_window_t window, xcb_atom_t property)
    {
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(m_connection,
            xcb_get_property(m_connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 2),
            nullptr));
        if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
            return std::nullopt;
        return *static_cast<const std::uint32_t *>(xcb_get_property_value(reply.get()));
    }

    bool viewable(xcb_window_t window)
    {
        const Reply<xcb_get_window_attributes_reply_t> reply(xcb_get_window_attributes_reply(
            m_connection, xcb_get_window_attributes(m_connection, window), nullptr));
        return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    xcb_window_t makeWindow()
    {
        const xcb_window_t window = xcb_generate_id(m_connection);
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, root(), 0, 0, 1, 1, 0,
            XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
        return window;
    }

    const xcb_query_extension_reply_t *extension(xcb_extension_t *id, const char *name)
    {
        const xcb_query_extension_reply_t *data = xcb_get_extension_data(m_connection, id);
        if (!data || !data->present)
            fail(std::string("the X server has no ") + name + " extension");
        return data;
    }

    // Waits for X events (and whatever else the fds say) until the deadline; false on timeout.
    // Handles every queued event with `handle`, stops when `done` holds.
    template<typename Handle, typename Done>
    bool loop(Clock::time_point deadline, std::vector<pollfd> extra, Handle handle, Done done)
    {
        while (!done()) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
                handle(event, -1);
                std::free(event);
                if (done())
                    return true;
            }
            // Answers written while handling must go out before we sleep.
            xcb_flush(m_connection);
            if (xcb_connection_has_error(m_connection))
                fail("lost the X connection");
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            std::vector<pollfd> fds { { fd(), POLLIN, 0 } };
            fds.insert(fds.end(), extra.begin(), extra.end());
            if (poll(fds.data(), nfds_t(fds.size()), int(left.count()) + 1) < 0 && errno != EINTR)
                fail("poll failed");
            for (std::size_t i = 1; i < fds.size(); ++i) {
                if (fds[i].revents)
                    handle(nullptr, fds[i].fd);
            }
        }
        return true;
    }

private:
    int m_screenNumber = 0;
    xcb_connection_t *m_connection;
    xcb_screen_t *m_screen = nullptr;
};

int pidfdOpen(pid_t pid)
{
    return int(syscall(SYS_pidfd_open, pid, 0));
}

pid_t spawn(const std::vector<char *> &argv, const char *output)
{
    const pid_t pid = fork();
    if (pid < 0)
        fail("fork failed");
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(output, O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (in >= 0)
            dup2(in, 0);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// --- start --------------------------------------------------------------------------------------

// The tray (trayer here) reparents an icon window out of the root into its socket when the program
// asks to dock (XEMBED), then maps it; the program paints it on the Expose that follows. The root's
// SubstructureNotify shows each new top-level window and the reparent; each new window's own
// StructureNotify its map; Damage every drawing into it. The icon is told apart from windows a
// window manager frames by _XEMBED_INFO, and from other programs' icons by _NET_WM_PID.
int startCommand(int argc, char **argv)
{
    std::string logPath, logLine, output = "/dev/null";
    double timeoutSeconds = 60;
    // The icon may come from a child of the started program (a profiler's wrapper script).
    bool anyPid = false;
    int i = 0;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string option = argv[i];
        if (option == "--any-pid") {
            anyPid = true;
            continue;
        }
        if (i + 1 >= argc)
            fail("missing value for " + option);
        if (option == "--log")
            logPath = argv[++i];
        else if (option == "--line")
            logLine = argv[++i];
        else if (option == "--output")
            output = argv[++i];
        else if (option == "--timeout")
            timeoutSeconds = std::atof(argv[++i]);
        else
            fail("unknown option " + option);
    }
    if (i + 1 >= argc)
        fail("start: no program given");
    std::vector<char *> program(argv + i + 1, argv + argc);
    program.push_back(nullptr);

    Display display;
    xcb_connection_t *c = display.connection();
    const xcb_atom_t xembedInfo = display.atom("_XEMBED_INFO");
    const xcb_atom_t wmPid = display.atom("_NET_WM_PID");
    const auto *damage = display.extension(&xcb_damage_id, "DAMAGE");
    Reply<xcb_damage_query_version_reply_t>(
        xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr));
    const std::uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, display.root(), XCB_CW_EVENT_MASK, &rootMask);
    // A round trip: the selection is in force before the program starts.
    Reply<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    std::optional<LogWatch> log;
    if (!logPath.empty())
        log.emplace(logPath, logLine);

    const Clock::time_point start = Clock::now();
    const pid_t pid = spawn(program, output.c_str());
    const int pidfd = pidfdOpen(pid);

    xcb_window_t icon = XCB_NONE;
    std::set<xcb_window_t> watched;
    bool mapSeen = false, backgroundSeen = false;
    // Raw rectangles: one report per drawing, nothing merged away.
    const auto watch = [&](xcb_window_t window) {
        watched.insert(window);
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
        xcb_damage_create(c, xcb_generate_id(c), window, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    };
    std::optional<Clock::time_point> embedded, shown, painted, launched;
    bool exited = false, hidden = false;
    if (log && log->count() > 0)
        launched = start;

    std::vector<pollfd> extra;
    if (pidfd >= 0)
        extra.push_back({ pidfd, POLLIN, 0 });
    if (log)
        extra.push_back({ log->fd(), POLLIN, 0 });

    const auto deadline =
        start + std::chrono::milliseconds(static_cast<long>(timeoutSeconds * 1000));
    const bool complete = display.loop(
        deadline, extra,
        [&](xcb_generic_event_t *event, int readyFd) {
            const Clock::time_point now = Clock::now();
            if (!event) {
                if (readyFd == pidfd)
                    exited = true;
                else if (log) {
                    log->update();
                    if (!launched && log->count() > 0)
                        launched = now;
                }
                return;
            }
            const std::uint8_t type = event->response_type & 0x7f;
            if (type == XCB_CREATE_NOTIFY && icon == XCB_NONE) {
                // Any new top-level may become the icon: watched from its creation on, so that
                // its map and every drawing after it are seen in order.
                const auto *create = reinterpret_cast<xcb_create_notify_event_t *>(event);
                if (create->parent == display.root())
                    watch(create->window);
            } else if (type == XCB_REPARENT_NOTIFY && icon == XCB_NONE) {
                const auto *reparent = reinterpret_cast<xcb_reparent_notify_event_t *>(event);
                if (reparent->parent == display.root() ||
                    !display.cardinal(reparent->window, xembedInfo))
                    return;
                const auto owner = display.cardinal(reparent->window, wmPid);
                if (owner && pid_t(*owner) != pid && !anyPid)
                    return;
                icon = reparent->window;
                embedded = now;
                if (!watched.contains(icon))
                    watch(icon);
                // Mapped before our selection took effect (we were slow to read the
                // CreateNotify): no MapNotify comes, and the background was filled before the
                // Damage object existed. Otherwise the MapNotify is still queued: it sets mapSeen.
                if (display.viewable(icon))
                    shown = Clock::now();
            } else if (type == XCB_MAP_NOTIFY && icon != XCB_NONE) {
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                if (map->window != icon || mapSeen)
                    return;
                mapSeen = true;
                if (!shown)
                    shown = now;
                hidden = !display.viewable(icon);
            } else if (type == damage->first_event + XCB_DAMAGE_NOTIFY && shown && !painted) {
                const auto *notify = reinterpret_cast<xcb_damage_notify_event_t *>(event);
                if (notify->drawable != icon)
                    return;
                // Mapping makes the server fill the window's background (the tray's, through
                // ParentRelative) within the map request, which Damage reports like any drawing:
                // the first report after a map we saw. The program's own drawing is the next one.
                if (mapSeen && !backgroundSeen) {
                    backgroundSeen = true;
                    return;
                }
                painted = now;
            }
        },
        [&] { return exited || (painted && (!log || launched)); });

    const auto field = [&](const std::optional<Clock::time_point> &at) {
        return at ? std::to_string(msSince(start, *at)) : std::string("-");
    };
    std::printf("pid=%d embedded_ms=%s shown_ms=%s painted_ms=%s launch_ms=%s\n", int(pid),
        field(embedded).c_str(), field(shown).c_str(), field(painted).c_str(),
        field(launched).c_str());
    std::fflush(stdout);
    if (hidden)
        std::fprintf(stderr, "xprobe: the icon was mapped inside an unmapped tray\n");
    if (exited)
        std::fprintf(stderr, "xprobe: the program ended during start-up\n");
    else if (!complete)
        std::fprintf(stderr, "xprobe: timed out after %.0f s\n", timeoutSeconds);
    // The program goes on; bench/run ends it by its PID.
    return complete && !exited ? 0 : 1;
}

// --- clipboard -----------------------------------------------------------------------------------

// Holds text on the CLIPBOARD selection as any application does, answering TARGETS and the text
// targets, and sees every change of owner through XFixes.
class Clipboard
{
public:
    explicit Clipboard(Display &display)
        : m_display(display)
        , m_window(display.makeWindow())
        , m_clipboard(display.atom("CLIPBOARD"))
        , m_targets(display.atom("TARGETS"))
        , m_utf8(display.atom("UTF8_STRING"))
        , m_textPlain(display.atom("text/plain;charset=utf-8"))
        , m_property(display.atom("XPROBE_SELECTION"))
    {
        xcb_connection_t *c = display.connection();
        m_xfixes = display.extension(&xcb_xfixes_id, "XFIXES");
        Reply<xcb_xfixes_query_version_reply_t>(
            xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr));
        xcb_xfixes_select_selection_input(c, m_window, m_clipboard,
            XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    }

    void own(const std::string &text)
    {
        m_text = text;
        xcb_set_selection_owner(m_display.connection(), m_window, m_clipboard, XCB_CURRENT_TIME);
        m_owned = false;
    }

    // The owner the server last announced, and whether it is someone else.
    bool othersOwn() const { return m_owner != XCB_NONE && m_owner != m_window; }
    bool weOwn() const { return m_owner == m_window; }
    std::optional<std::string> received() const { return m_received; }

    void requestText()
    {
        m_received.reset();
        m_reading = true;
        xcb_convert_selection(
            m_display.connection(), m_window, m_clipboard, m_utf8, m_property, XCB_CURRENT_TIME);
    }
    bool reading() const { return m_reading; }

    // True when the event was a selection event (handled here).
    bool handle(xcb_generic_event_t *event)
    {
        xcb_connection_t *c = m_display.connection();
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == m_xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY) {
            const auto *notify = reinterpret_cast<xcb_xfixes_selection_notify_event_t *>(event);
            if (notify->selection == m_clipboard)
                m_owner = notify->owner;
            return true;
        }
        if (type == XCB_SELECTION_REQUEST) {
            const auto *request = reinterpret_cast<xcb_selection_request_event_t *>(event);
            xcb_atom_t property =
                request->property == XCB_NONE ? request->target : request->property;
            if (request->target == m_targets) {
                const xcb_atom_t targets[] = { m_targets, m_utf8, m_textPlain, XCB_ATOM_STRING };
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                    XCB_ATOM_ATOM, 32, 4, targets);
            } else if (request->target == m_utf8 || request->target == m_textPlain ||
                request->target == XCB_ATOM_STRING) {
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                    request->target, 8, std::uint32_t(m_text.size()), m_text.data());
            } else {
                property = XCB_NONE;
            }
            // send_event takes 32 bytes, more than the event's own struct.
            union {
                xcb_selection_notify_event_t event;
                char bytes[32];
            } buffer {};
            xcb_selection_notify_event_t &reply = buffer.event;
            reply.response_type = XCB_SELECTION_NOTIFY;
            reply.time = request->time;
            reply.requestor = request->requestor;
            reply.selection = request->selection;
            reply.target = request->target;
            reply.property = property;
            xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, buffer.bytes);
            return true;
        }
        if (type == XCB_SELECTION_NOTIFY) {
            const auto *notify = reinterpret_cast<xcb_selection_notify_event_t *>(event);
            if (notify->requestor != m_window)
                return true;
            m_reading = false;
            m_received = std::string();
            if (notify->property == XCB_NONE)
                return true;
            const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c,
                xcb_get_property(c, 1, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY, 0, 65536),
                nullptr));
            if (reply)
                m_received =
                    std::string(static_cast<const char *>(xcb_get_property_value(reply.get())),
                        std::size_t(xcb_get_property_value_length(reply.get())));
            return true;
        }
        return type == XCB_SELECTION_CLEAR || type == XCB_PROPERTY_NOTIFY;
    }

private:
    Display &m_display;
    xcb_window_t m_window;
    xcb_atom_t m_clipboard, m_targets, m_utf8, m_textPlain, m_property;
    const xcb_query_extension_reply_t *m_xfixes = nullptr;
    std::string m_text;
    xcb_window_t m_owner = XCB_NONE;
    bool m_owned = false;
    bool m_reading = false;
    std::optional<std::string> m_received;
};

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// One round: our text on the clipboard, then the trigger (a key press through XTest, or a
// command), then the time until another client owns the clipboard. Each round checks that the new
// content starts with the expected prefix and, for the shortcut, waits for the program's outcome
// line so that rounds never overlap.
int clipboardCommand(int argc, char **argv)
{
    long count = 200;
    double gapMs = 0, timeoutSeconds = 30;
    std::string text, expect, logPath, logLine, script, samples;
    for (int i = 0; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            fail("missing value for " + option);
        const char *value = argv[++i];
        if (option == "--count")
            count = std::atol(value);
        else if (option == "--text")
            text = value;
        else if (option == "--expect")
            expect = value;
        else if (option == "--log")
            logPath = value;
        else if (option == "--line")
            logLine = value;
        else if (option == "--script")
            script = value;
        else if (option == "--samples")
            samples = value;
        else if (option == "--gap-ms")
            gapMs = std::atof(value);
        else if (option == "--timeout")
            timeoutSeconds = std::atof(value);
        else
            fail("unknown option " + option);
    }
    if (text.empty() || expect.empty())
        fail("clipboard: --text and --expect are required");
    if (script.empty() && logPath.empty())
        fail("clipboard: the shortcut needs --log and --line to know when a round has ended");

    Display display;
    xcb_connection_t *c = display.connection();
    Clipboard clipboard(display);
    display.extension(&xcb_test_id, "XTEST");

    // Ctrl, Alt and Shift, then the letter: what the user's fingers do.
    std::vector<xcb_keycode_t> chord;
    if (script.empty()) {
        xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(c);
        const auto keycode = [&](xcb_keysym_t keysym) {
            const Reply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols, keysym));
            if (!codes || *codes == XCB_NO_SYMBOL)
                fail("no keycode for a key of the shortcut");
            return *codes;
        };
        chord = { keycode(0xffe3 /* Control_L */), keycode(0xffe9 /* Alt_L */),
            keycode(0xffe1 /* Shift_L */), keycode(0x0073 /* s */) };
        xcb_key_symbols_free(symbols);
    }
    std::optional<LogWatch> log;
    if (!logPath.empty())
        log.emplace(logPath, logLine);
    std::vector<pollfd> extra;
    if (log)
        extra.push_back({ log->fd(), POLLIN, 0 });
    const auto handle = [&](xcb_generic_event_t *event, int) {
        if (event)
            clipboard.handle(event);
        else if (log)
            log->update();
    };

    std::vector<double> latencies;
    FILE *sampleFile = samples.empty() ? nullptr : std::fopen(samples.c_str(), "w");
    for (long round = 0; round < count; ++round) {
        const auto roundDeadline =
            Clock::now() + std::chrono::milliseconds(long(timeoutSeconds * 1000));
        clipboard.own(text);
        if (!display.loop(roundDeadline, extra, handle, [&] { return clipboard.weOwn(); }))
            fail("could not take the clipboard");
        if (gapMs > 0) {
            display.loop(Clock::now() + std::chrono::microseconds(long(gapMs * 1000)), extra,
                handle, [] { return false; });
        }
        const long outcomes = log ? log->count() : 0;

        Clock::time_point start;
        pid_t child = -1;
        if (script.empty()) {
            for (const xcb_keycode_t key : chord)
                xcb_test_fake_input(
                    c, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, display.root(), 0, 0, 0);
            for (auto key = chord.rbegin(); key != chord.rend(); ++key)
                xcb_test_fake_input(
                    c, XCB_KEY_RELEASE, *key, XCB_CURRENT_TIME, display.root(), 0, 0, 0);
            start = Clock::now();
            xcb_flush(c);
        } else {
            std::vector<char *> shell { const_cast<char *>("sh"), const_cast<char *>("-c"),
                script.data(), nullptr };
            start = Clock::now();
            child = spawn(shell, "/dev/null");
        }
        if (!display.loop(roundDeadline, extra, handle, [&] { return clipboard.othersOwn(); }))
            fail("round " + std::to_string(round) + ": nobody took the clipboard");
        const double latency = msSince(start, Clock::now());

        clipboard.requestText();
        if (!display.loop(roundDeadline, extra, handle, [&] { return !clipboard.reading(); }))
            fail("round " + std::to_string(round) + ": the new clipboard owner did not answer");
        const std::string got = trimmed(clipboard.received().value_or(std::string()));
        if (got.rfind(expect, 0) != 0)
            fail("round " + std::to_string(round) + ": the clipboard holds '" + got + "'");
        if (child > 0)
            waitpid(child, nullptr, 0);
        if (log &&
            !display.loop(roundDeadline, extra, handle, [&] { return log->count() > outcomes; }))
            fail("round " + std::to_string(round) + ": no outcome line in the log");
        latencies.push_back(latency);
        if (sampleFile)
            std::fprintf(sampleFile, "%.3f\n", latency);
    }
    if (sampleFile)
        std::fclose(sampleFile);
    std::printf("rounds=%zu\n", latencies.size());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    signal(SIGPIPE, SIG_IGN);
    if (argc < 2)
        fail("usage: xprobe start|clipboard ...");
    const std::string command = argv[1];
    if (command == "start")
        return startCommand(argc - 2, argv + 2);
    if (command == "clipboard")
        return clipboardCommand(argc - 2, argv + 2);
    fail("unknown command " + command);
}
