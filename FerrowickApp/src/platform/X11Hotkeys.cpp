#include "platform/X11Hotkeys.h"

#include "platform/KeyMap.h"

#include <QByteArray>
#include <QGuiApplication>

#include <X11/keysym.h>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
// The C header names a struct member `explicit`.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit

namespace Ferrowick {

namespace {

// XKB event subtypes (the byte after the response type) after which the keymap must be re-read.
constexpr std::uint8_t xkbNewKeyboardNotify = 0;
constexpr std::uint8_t xkbMapNotify = 1;

// One passive grab on the root window.
struct Grab
{
    xcb_keycode_t keycode = 0;
    std::uint16_t modifiers = 0;

    friend auto operator<=>(const Grab &, const Grab &) = default;
};

struct Registration
{
    FWKit::FWHotkeyDescriptor descriptor;
    std::uint16_t modifiers = 0; // X11 mask, without lock bits
    std::vector<Grab> grabs; // sorted
};

template<typename T>
struct FreeDeleter
{
    void operator()(T *pointer) const { std::free(pointer); }
};
template<typename T>
using Reply = std::unique_ptr<T, FreeDeleter<T>>;

} // namespace

struct X11Hotkeys::State
{
    xcb_connection_t *connection = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    xcb_key_symbols_t *symbols = nullptr;
    std::uint8_t xkbFirstEvent = 0; // 0: the server has no XKB
    std::uint16_t numLockMask = 0;
    PressCallback callback;
    bool filterInstalled = false;
    std::uint64_t lastRef = 0;
    std::map<std::uint64_t, Registration> registrations;
    // The keycodes of combinations pressed, each with the time of its release once released. X
    // repeats a held key as further presses: with detectable auto-repeat (asked for at start)
    // with no release between them, else each after a release of the same time stamp.
    std::map<xcb_keycode_t, std::optional<xcb_timestamp_t>> pressed;
    bool detectableAutoRepeat = false;

    std::vector<xcb_keycode_t> keycodes(xcb_keysym_t keysym) const
    {
        std::vector<xcb_keycode_t> result;
        const std::unique_ptr<xcb_keycode_t, FreeDeleter<xcb_keycode_t>> list(
            xcb_key_symbols_get_keycode(symbols, keysym));
        for (const xcb_keycode_t *code = list.get(); code && *code != XCB_NO_SYMBOL; ++code)
            result.push_back(*code);
        // A keysym on several levels of one key lists that key again.
        std::ranges::sort(result);
        result.erase(std::ranges::unique(result).begin(), result.end());
        return result;
    }

    std::uint16_t findNumLockMask() const
    {
        const Reply<xcb_get_modifier_mapping_reply_t> reply(xcb_get_modifier_mapping_reply(
            connection, xcb_get_modifier_mapping(connection), nullptr));
        if (!reply)
            return 0;
        const std::vector<xcb_keycode_t> numLock = keycodes(XK_Num_Lock);
        const xcb_keycode_t *map = xcb_get_modifier_mapping_keycodes(reply.get());
        const int perModifier = reply->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                if (std::ranges::binary_search(numLock, map[modifier * perModifier + i]))
                    return static_cast<std::uint16_t>(1 << modifier);
            }
        }
        return 0;
    }

    // Every keycode of the key's keysym, each with and without Caps Lock and Num Lock.
    std::vector<Grab> wantedGrabs(const Registration &registration) const
    {
        std::vector<Grab> result;
        const std::optional<std::uint32_t> keysym = KeyMap::keysym(registration.descriptor.keyCode);
        if (!keysym)
            return result;
        const std::array<std::uint16_t, 4> lockVariants { 0, XCB_MOD_MASK_LOCK, numLockMask,
            static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLockMask) };
        for (const xcb_keycode_t keycode : keycodes(*keysym)) {
            for (const std::uint16_t locks : lockVariants)
                result.push_back(
                    { keycode, static_cast<std::uint16_t>(registration.modifiers | locks) });
        }
        std::ranges::sort(result);
        result.erase(std::ranges::unique(result).begin(), result.end());
        return result;
    }

    bool heldByUs(const Grab &grab, std::uint64_t except = 0) const
    {
        return std::ranges::any_of(registrations, [&](const auto &entry) {
            return entry.first != except && std::ranges::binary_search(entry.second.grabs, grab);
        });
    }

    // Sends every grab before checking any, so the whole set costs one round trip. Returns those
    // the server granted.
    std::vector<Grab> grab(const std::vector<Grab> &grabs) const
    {
        std::vector<xcb_void_cookie_t> cookies;
        for (const Grab &grab : grabs) {
            cookies.push_back(xcb_grab_key_checked(connection, 1, root, grab.modifiers,
                grab.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
        std::vector<Grab> granted;
        for (std::size_t i = 0; i < grabs.size(); ++i) {
            // BadAccess (10: another client holds it) is the usual refusal; any error counts.
            const Reply<xcb_generic_error_t> error(xcb_request_check(connection, cookies[i]));
            if (!error)
                granted.push_back(grabs[i]);
        }
        return granted;
    }

    void ungrab(const std::vector<Grab> &grabs) const
    {
        for (const Grab &grab : grabs)
            xcb_ungrab_key(connection, grab.keycode, root, grab.modifiers);
        xcb_flush(connection);
    }

    // The keymap changed: grab what the keys produce now, release what they no longer do. A grab
    // the server refuses now is simply missing (the combination works only where it could be
    // grabbed) and is tried again at the next change; the registration stays valid.
    void followKeymap()
    {
        xcb_key_symbols_free(symbols);
        symbols = xcb_key_symbols_alloc(connection);
        numLockMask = findNumLockMask();
        // A keycode may now stand for another key.
        pressed.clear();
        for (auto &[ref, registration] : registrations) {
            const std::vector<Grab> wanted = wantedGrabs(registration);
            std::vector<Grab> stale;
            std::vector<Grab> kept;
            std::vector<Grab> missing;
            std::ranges::set_difference(registration.grabs, wanted, std::back_inserter(stale));
            std::ranges::set_intersection(registration.grabs, wanted, std::back_inserter(kept));
            for (const Grab &grab : wanted) {
                if (!std::ranges::binary_search(registration.grabs, grab) && !heldByUs(grab, ref))
                    missing.push_back(grab);
            }
            ungrab(stale);
            std::ranges::copy(grab(missing), std::back_inserter(kept));
            std::ranges::sort(kept);
            registration.grabs = std::move(kept);
        }
    }

    bool keyPress(const xcb_key_press_event_t &press)
    {
        if (press.event != root)
            return false;
        const std::uint16_t used = KeyMap::x11Modifiers(FWKit::FWModifier::command |
            FWKit::FWModifier::shift | FWKit::FWModifier::option | FWKit::FWModifier::control);
        const std::uint16_t modifiers = press.state & used & ~(XCB_MOD_MASK_LOCK | numLockMask);
        for (const auto &[ref, registration] : registrations) {
            if (registration.modifiers != modifiers)
                continue;
            const bool ours = std::ranges::any_of(
                registration.grabs, [&](const Grab &grab) { return grab.keycode == press.detail; });
            if (!ours)
                continue;
            // One action per physical press.
            const auto last = pressed.find(press.detail);
            const bool repeat = last != pressed.end() &&
                (!last->second || (!detectableAutoRepeat && *last->second == press.time));
            pressed[press.detail] = std::nullopt;
            if (repeat)
                return true;
            // Copied: the callback may unregister, which would end this loop's registration.
            const FWKit::FWHotkeyDescriptor descriptor = registration.descriptor;
            if (callback)
                callback(descriptor.signature, descriptor.id);
            return true;
        }
        return false;
    }
};

X11Hotkeys::X11Hotkeys()
    : m_state(std::make_unique<State>())
{
    const auto *x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    State &state = *m_state;
    state.connection = x11->connection();

    // Qt does not publish its screen number; it connects to $DISPLAY, so that names the screen.
    char *host = nullptr;
    int display = 0;
    int screenNumber = 0;
    if (!xcb_parse_display(nullptr, &host, &display, &screenNumber))
        screenNumber = 0;
    std::free(host);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(state.connection));
    for (int i = 0; i < screenNumber && screens.rem > 1; ++i)
        xcb_screen_next(&screens);
    state.root = screens.data->root;

    state.symbols = xcb_key_symbols_alloc(state.connection);
    state.numLockMask = state.findNumLockMask();
    // Qt selects the XKB keymap events on this connection; after them the core MappingNotify
    // does not always come (a new keyboard description never sends it to XKB clients).
    const char xkb[] = "XKEYBOARD";
    const Reply<xcb_query_extension_reply_t> extension(xcb_query_extension_reply(
        state.connection, xcb_query_extension(state.connection, sizeof xkb - 1, xkb), nullptr));
    if (extension && extension->present) {
        state.xkbFirstEvent = extension->first_event;
        // Qt leaves a held key's repeats as release-press pairs, which a fast run of separate
        // presses also makes; asking the server to leave out those releases tells them apart.
        // Qt's own windows then see repeats as presses, as GTK applications do.
        constexpr std::uint32_t repeat = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
        const Reply<xcb_xkb_per_client_flags_reply_t> flags(
            xcb_xkb_per_client_flags_reply(state.connection,
                xcb_xkb_per_client_flags(
                    state.connection, XCB_XKB_ID_USE_CORE_KBD, repeat, repeat, 0, 0, 0),
                nullptr));
        state.detectableAutoRepeat = flags && (flags->value & repeat);
    }
}

X11Hotkeys::~X11Hotkeys()
{
    if (!m_state->connection)
        return;
    if (m_state->filterInstalled && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    // Without the application the connection is gone, and its grabs with it.
    if (qGuiApp) {
        for (const auto &[ref, registration] : m_state->registrations)
            m_state->ungrab(registration.grabs);
    }
    xcb_key_symbols_free(m_state->symbols);
}

bool X11Hotkeys::isAvailable() const
{
    return m_state->connection != nullptr;
}

void X11Hotkeys::installEventHandler(PressCallback callback)
{
    m_state->callback = std::move(callback);
    if (m_state->connection && !m_state->filterInstalled) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        m_state->filterInstalled = true;
    }
}

std::optional<FWKit::FWHotkeyRef> X11Hotkeys::registerHotkey(
    const FWKit::FWHotkeyDescriptor &descriptor)
{
    State &state = *m_state;
    if (!state.connection)
        return std::nullopt;
    Registration registration { descriptor, KeyMap::x11Modifiers(descriptor.modifiers), {} };
    const std::vector<Grab> wanted = state.wantedGrabs(registration);
    // Grabbing again what we hold would succeed silently, and releasing one would end both.
    if (wanted.empty() ||
        std::ranges::any_of(wanted, [&](const Grab &g) { return state.heldByUs(g); }))
        return std::nullopt;
    std::vector<Grab> granted = state.grab(wanted);
    if (granted.size() != wanted.size()) {
        state.ungrab(granted);
        return std::nullopt;
    }
    registration.grabs = std::move(granted);
    state.registrations.emplace(++state.lastRef, std::move(registration));
    return FWKit::FWHotkeyRef { state.lastRef };
}

void X11Hotkeys::unregisterHotkey(FWKit::FWHotkeyRef ref)
{
    const auto found = m_state->registrations.find(ref.value);
    if (found == m_state->registrations.end())
        return;
    m_state->ungrab(found->second.grabs);
    m_state->registrations.erase(found);
}

bool X11Hotkeys::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t" || !m_state->connection)
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const std::uint8_t type = event->response_type & ~0x80;
    if (type == XCB_KEY_PRESS)
        return m_state->keyPress(*reinterpret_cast<const xcb_key_press_event_t *>(event));
    if (type == XCB_KEY_RELEASE) {
        // Wherever it goes: while one of our windows grabs the keyboard, the release goes there.
        const auto *release = reinterpret_cast<const xcb_key_release_event_t *>(event);
        if (const auto found = m_state->pressed.find(release->detail);
            found != m_state->pressed.end())
            found->second = release->time;
        return false;
    }
    if (type == XCB_MAPPING_NOTIFY) {
        if (reinterpret_cast<const xcb_mapping_notify_event_t *>(event)->request !=
            XCB_MAPPING_POINTER)
            m_state->followKeymap();
    } else if (m_state->xkbFirstEvent != 0 && type == m_state->xkbFirstEvent) {
        const std::uint8_t xkbType = reinterpret_cast<const std::uint8_t *>(event)[1];
        if (xkbType == xkbNewKeyboardNotify || xkbType == xkbMapNotify)
            m_state->followKeymap();
    }
    // Qt needs the keymap events too.
    return false;
}

} // namespace Ferrowick
