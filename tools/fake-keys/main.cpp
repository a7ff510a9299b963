// Types and presses keys in a KWin Wayland session, for the end-to-end tests: KWin 5.27 offers no
// virtual-keyboard protocol and xdotool needs X, so this speaks KWin's own fake-input protocol.
// KWin lets only trusted clients use it; the harness starts KWin with its permission checks off.
//
//   fake-keys     reads commands from standard input, one a line, and answers each line with
//                 "ok" once KWin has the keys, or "error: WHY"; first it says "ready".
//     type TEXT       the text, as on a US keyboard (printable ASCII, tab)
//     key COMBO...    combinations as xdotool names them: ctrl+Return, shift+Tab, space, s
//
// It keeps running between commands: KWin gives the seat a keyboard only while some keyboard
// device exists, and a client binds its keyboard when the seat gains one; a device that came and
// went with each command would leave the keys of the first one to whoever was not yet listening.

#include "fake-input-client.h"

#include <cstring>
#include <iostream>
#include <linux/input-event-codes.h>
#include <optional>
#include <sstream>
#include <string>
#include <vector>
#include <wayland-client.h>

namespace {

struct Key
{
    std::uint32_t code;
    char plain;
    char shifted;
};

// A US layout, which is what KWin has without a keyboard configuration.
constexpr Key usLayout[] = { { KEY_A, 'a', 'A' }, { KEY_B, 'b', 'B' }, { KEY_C, 'c', 'C' },
    { KEY_D, 'd', 'D' }, { KEY_E, 'e', 'E' }, { KEY_F, 'f', 'F' }, { KEY_G, 'g', 'G' },
    { KEY_H, 'h', 'H' }, { KEY_I, 'i', 'I' }, { KEY_J, 'j', 'J' }, { KEY_K, 'k', 'K' },
    { KEY_L, 'l', 'L' }, { KEY_M, 'm', 'M' }, { KEY_N, 'n', 'N' }, { KEY_O, 'o', 'O' },
    { KEY_P, 'p', 'P' }, { KEY_Q, 'q', 'Q' }, { KEY_R, 'r', 'R' }, { KEY_S, 's', 'S' },
    { KEY_T, 't', 'T' }, { KEY_U, 'u', 'U' }, { KEY_V, 'v', 'V' }, { KEY_W, 'w', 'W' },
    { KEY_X, 'x', 'X' }, { KEY_Y, 'y', 'Y' }, { KEY_Z, 'z', 'Z' }, { KEY_1, '1', '!' },
    { KEY_2, '2', '@' }, { KEY_3, '3', '#' }, { KEY_4, '4', '$' }, { KEY_5, '5', '%' },
    { KEY_6, '6', '^' }, { KEY_7, '7', '&' }, { KEY_8, '8', '*' }, { KEY_9, '9', '(' },
    { KEY_0, '0', ')' }, { KEY_MINUS, '-', '_' }, { KEY_EQUAL, '=', '+' },
    { KEY_LEFTBRACE, '[', '{' }, { KEY_RIGHTBRACE, ']', '}' }, { KEY_SEMICOLON, ';', ':' },
    { KEY_APOSTROPHE, '\'', '"' }, { KEY_GRAVE, '`', '~' }, { KEY_BACKSLASH, '\\', '|' },
    { KEY_COMMA, ',', '<' }, { KEY_DOT, '.', '>' }, { KEY_SLASH, '/', '?' }, { KEY_SPACE, ' ', 0 },
    { KEY_TAB, '\t', 0 } };

struct NamedKey
{
    const char *name;
    std::uint32_t code;
};

constexpr NamedKey namedKeys[] = { { "ctrl", KEY_LEFTCTRL }, { "shift", KEY_LEFTSHIFT },
    { "alt", KEY_LEFTALT }, { "super", KEY_LEFTMETA }, { "Return", KEY_ENTER }, { "Tab", KEY_TAB },
    { "Escape", KEY_ESC }, { "space", KEY_SPACE }, { "BackSpace", KEY_BACKSPACE },
    { "Delete", KEY_DELETE }, { "Home", KEY_HOME }, { "End", KEY_END }, { "Up", KEY_UP },
    { "Down", KEY_DOWN }, { "Left", KEY_LEFT }, { "Right", KEY_RIGHT } };

// The keys to hold, in order, for one character; none for a character the layout lacks.
std::optional<std::vector<std::uint32_t>> keysFor(char character)
{
    for (const Key &key : usLayout) {
        if (key.plain == character)
            return std::vector { key.code };
        if (key.shifted == character && character != 0)
            return std::vector<std::uint32_t> { KEY_LEFTSHIFT, key.code };
    }
    return std::nullopt;
}

// "ctrl+Return" → ctrl, Return; a single character names its unshifted key.
std::optional<std::vector<std::uint32_t>> keysFor(const std::string &combination)
{
    std::vector<std::uint32_t> keys;
    std::istringstream parts(combination);
    for (std::string part; std::getline(parts, part, '+');) {
        std::optional<std::uint32_t> code;
        for (const NamedKey &key : namedKeys) {
            if (part == key.name)
                code = key.code;
        }
        if (const auto plain = part.size() == 1 ? keysFor(part[0]) : std::nullopt;
            !code && plain && plain->size() == 1)
            code = plain->front();
        if (!code)
            return std::nullopt;
        keys.push_back(*code);
    }
    if (keys.empty())
        return std::nullopt;
    return keys;
}

class FakeKeyboard
{
public:
    explicit FakeKeyboard(org_kde_kwin_fake_input *input)
        : m_input(input)
    {
    }

    // Presses the keys in order and lets go of them in reverse.
    void strike(const std::vector<std::uint32_t> &keys)
    {
        press(keys);
        release(keys);
    }
    void press(const std::vector<std::uint32_t> &keys)
    {
        for (const std::uint32_t key : keys)
            org_kde_kwin_fake_input_keyboard_key(m_input, key, WL_KEYBOARD_KEY_STATE_PRESSED);
    }
    void release(const std::vector<std::uint32_t> &keys)
    {
        for (auto key = keys.rbegin(); key != keys.rend(); ++key)
            org_kde_kwin_fake_input_keyboard_key(m_input, *key, WL_KEYBOARD_KEY_STATE_RELEASED);
    }

    // An error text, or empty once the keys are sent.
    std::string run(const std::string &line)
    {
        const auto space = line.find(' ');
        const std::string command = line.substr(0, space);
        const std::string rest =
            space == std::string::npos ? std::string() : line.substr(space + 1);
        std::vector<std::vector<std::uint32_t>> strokes;
        if (command == "type") {
            for (const char character : rest) {
                const auto keys = keysFor(character);
                if (!keys)
                    return "no key types '" + std::string(1, character) + "'";
                strokes.push_back(*keys);
            }
        } else if (command == "down" || command == "up") {
            // One combination held down, so the compositor's key repeat runs, until "up".
            const auto keys = keysFor(rest);
            if (!keys)
                return "unknown key combination '" + rest + "'";
            if (command == "down")
                press(*keys);
            else
                release(*keys);
            return {};
        } else if (command == "key") {
            std::istringstream words(rest);
            for (std::string word; words >> word;) {
                const auto keys = keysFor(word);
                if (!keys)
                    return "unknown key combination '" + word + "'";
                strokes.push_back(*keys);
            }
        } else {
            return "unknown command '" + command + "' (type, key, down or up)";
        }
        for (const auto &keys : strokes)
            strike(keys);
        return {};
    }

private:
    org_kde_kwin_fake_input *m_input;
};

void announce(void *data, wl_registry *registry, std::uint32_t name, const char *interface,
    std::uint32_t version)
{
    // Version 4 brought the keyboard.
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        *static_cast<org_kde_kwin_fake_input **>(data) = static_cast<org_kde_kwin_fake_input *>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}

void withdraw(void *, wl_registry *, std::uint32_t) { }

const wl_registry_listener registryListener { announce, withdraw };

} // namespace

int main()
{
    wl_display *display = wl_display_connect(nullptr);
    if (!display) {
        std::cerr << "fake-keys: cannot connect to the Wayland display\n";
        return 1;
    }
    org_kde_kwin_fake_input *input = nullptr;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &input);
    wl_display_roundtrip(display);
    if (!input) {
        std::cerr << "fake-keys: no org_kde_kwin_fake_input of version 4 here; KWin offers it to "
                     "any client only with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1\n";
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(input, "Ferrowick tests", "typing in the tests");
    if (wl_display_roundtrip(display) < 0)
        return 1;
    std::cout << "ready" << std::endl;

    FakeKeyboard keyboard(input);
    for (std::string line; std::getline(std::cin, line);) {
        const std::string error = keyboard.run(line);
        // The round trip returns once KWin has handled every key sent before it.
        if (wl_display_roundtrip(display) < 0) {
            std::cerr << "fake-keys: the compositor went away\n";
            return 1;
        }
        std::cout << (error.empty() ? "ok" : "error: " + error) << std::endl;
    }
    // The protocol has no destructor request; the client side is freed all the same.
    wl_proxy_destroy(reinterpret_cast<wl_proxy *>(input));
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}
