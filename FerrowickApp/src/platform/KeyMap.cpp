#include "platform/KeyMap.h"

#include <QKeyCombination>

#include <X11/keysym.h>
#include <array>
#include <utility>
#include <xcb/xproto.h>

using namespace Qt::StringLiterals;

namespace Ferrowick::KeyMap {

namespace {

// One key position. The shifted names are what a shifted press reports on a US layout; keys
// that report the same with Shift repeat the plain ones.
struct Entry
{
    std::uint32_t code;
    std::uint32_t keysym;
    std::uint32_t shiftedKeysym;
    Qt::Key key;
    Qt::Key shiftedKey;
};

// Latin-1 keysyms equal their characters, and Qt::Key values equal the upper-case ones.
constexpr Entry printable(std::uint32_t code, char plain, char shifted)
{
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
    return { code, static_cast<unsigned char>(plain), static_cast<unsigned char>(shifted),
        static_cast<Qt::Key>(upper(plain)), static_cast<Qt::Key>(upper(shifted)) };
}

constexpr Entry named(std::uint32_t code, std::uint32_t keysym, Qt::Key key)
{
    return { code, keysym, keysym, key, key };
}

constexpr std::array<Entry, 73> table { {
    printable(0, 'a', 'A'),
    printable(1, 's', 'S'),
    printable(2, 'd', 'D'),
    printable(3, 'f', 'F'),
    printable(4, 'h', 'H'),
    printable(5, 'g', 'G'),
    printable(6, 'z', 'Z'),
    printable(7, 'x', 'X'),
    printable(8, 'c', 'C'),
    printable(9, 'v', 'V'),
    printable(11, 'b', 'B'),
    printable(12, 'q', 'Q'),
    printable(13, 'w', 'W'),
    printable(14, 'e', 'E'),
    printable(15, 'r', 'R'),
    printable(16, 'y', 'Y'),
    printable(17, 't', 'T'),
    printable(31, 'o', 'O'),
    printable(32, 'u', 'U'),
    printable(34, 'i', 'I'),
    printable(35, 'p', 'P'),
    printable(37, 'l', 'L'),
    printable(38, 'j', 'J'),
    printable(40, 'k', 'K'),
    printable(45, 'n', 'N'),
    printable(46, 'm', 'M'),
    printable(18, '1', '!'),
    printable(19, '2', '@'),
    printable(20, '3', '#'),
    printable(21, '4', '$'),
    printable(22, '6', '^'),
    printable(23, '5', '%'),
    printable(25, '9', '('),
    printable(26, '7', '&'),
    printable(28, '8', '*'),
    printable(29, '0', ')'),
    printable(24, '=', '+'),
    printable(27, '-', '_'),
    printable(30, ']', '}'),
    printable(33, '[', '{'),
    printable(39, '\'', '"'),
    printable(41, ';', ':'),
    printable(42, '\\', '|'),
    printable(43, ',', '<'),
    printable(44, '/', '?'),
    printable(47, '.', '>'),
    printable(50, '`', '~'),
    named(122, XK_F1, Qt::Key_F1),
    named(120, XK_F2, Qt::Key_F2),
    named(99, XK_F3, Qt::Key_F3),
    named(118, XK_F4, Qt::Key_F4),
    named(96, XK_F5, Qt::Key_F5),
    named(97, XK_F6, Qt::Key_F6),
    named(98, XK_F7, Qt::Key_F7),
    named(100, XK_F8, Qt::Key_F8),
    named(101, XK_F9, Qt::Key_F9),
    named(109, XK_F10, Qt::Key_F10),
    named(103, XK_F11, Qt::Key_F11),
    named(111, XK_F12, Qt::Key_F12),
    named(36, XK_Return, Qt::Key_Return),
    { 48, XK_Tab, XK_ISO_Left_Tab, Qt::Key_Tab, Qt::Key_Backtab },
    named(49, XK_space, Qt::Key_Space),
    named(51, XK_BackSpace, Qt::Key_Backspace),
    named(53, XK_Escape, Qt::Key_Escape),
    named(115, XK_Home, Qt::Key_Home),
    named(119, XK_End, Qt::Key_End),
    named(116, XK_Page_Up, Qt::Key_PageUp),
    named(121, XK_Page_Down, Qt::Key_PageDown),
    named(117, XK_Delete, Qt::Key_Delete),
    named(123, XK_Left, Qt::Key_Left),
    named(124, XK_Right, Qt::Key_Right),
    named(125, XK_Down, Qt::Key_Down),
    named(126, XK_Up, Qt::Key_Up),
} };

const Entry *byCode(std::uint32_t keyCode)
{
    for (const Entry &entry : table) {
        if (entry.code == keyCode)
            return &entry;
    }
    return nullptr;
}

struct ModifierEntry
{
    std::uint32_t carbon;
    Qt::KeyboardModifier qt;
    std::uint16_t x11;
};

constexpr std::array<ModifierEntry, 4> modifierTable { {
    { FWKit::FWModifier::command, Qt::ControlModifier, XCB_MOD_MASK_CONTROL },
    { FWKit::FWModifier::shift, Qt::ShiftModifier, XCB_MOD_MASK_SHIFT },
    { FWKit::FWModifier::option, Qt::AltModifier, XCB_MOD_MASK_1 },
    { FWKit::FWModifier::control, Qt::MetaModifier, XCB_MOD_MASK_4 },
} };

// The keysyms of the table other than letters and digits, whose xkb names are themselves.
struct KeysymName
{
    std::uint32_t keysym;
    const char16_t *name;
};

constexpr std::array<KeysymName, 37> keysymNames { {
    { XK_equal, u"equal" },
    { XK_minus, u"minus" },
    { XK_bracketright, u"bracketright" },
    { XK_bracketleft, u"bracketleft" },
    { XK_apostrophe, u"apostrophe" },
    { XK_semicolon, u"semicolon" },
    { XK_backslash, u"backslash" },
    { XK_comma, u"comma" },
    { XK_slash, u"slash" },
    { XK_period, u"period" },
    { XK_grave, u"grave" },
    { XK_F1, u"F1" },
    { XK_F2, u"F2" },
    { XK_F3, u"F3" },
    { XK_F4, u"F4" },
    { XK_F5, u"F5" },
    { XK_F6, u"F6" },
    { XK_F7, u"F7" },
    { XK_F8, u"F8" },
    { XK_F9, u"F9" },
    { XK_F10, u"F10" },
    { XK_F11, u"F11" },
    { XK_F12, u"F12" },
    { XK_Return, u"Return" },
    { XK_Tab, u"Tab" },
    { XK_space, u"space" },
    { XK_BackSpace, u"BackSpace" },
    { XK_Escape, u"Escape" },
    { XK_Home, u"Home" },
    { XK_End, u"End" },
    { XK_Page_Up, u"Page_Up" },
    { XK_Page_Down, u"Page_Down" },
    { XK_Delete, u"Delete" },
    { XK_Left, u"Left" },
    { XK_Right, u"Right" },
    { XK_Down, u"Down" },
    { XK_Up, u"Up" },
} };

} // namespace

std::optional<std::uint32_t> keysym(std::uint32_t keyCode)
{
    const Entry *entry = byCode(keyCode);
    return entry ? std::optional(entry->keysym) : std::nullopt;
}

std::optional<std::uint32_t> keyCodeForKeysym(std::uint32_t keysym)
{
    for (const Entry &entry : table) {
        if (entry.keysym == keysym || entry.shiftedKeysym == keysym)
            return entry.code;
    }
    return std::nullopt;
}

std::optional<Qt::Key> qtKey(std::uint32_t keyCode)
{
    const Entry *entry = byCode(keyCode);
    return entry ? std::optional(entry->key) : std::nullopt;
}

std::optional<std::uint32_t> keyCodeForQtKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers.testFlag(Qt::KeypadModifier))
        return std::nullopt;
    for (const Entry &entry : table) {
        if (entry.key == key || entry.shiftedKey == key)
            return entry.code;
    }
    return std::nullopt;
}

Qt::KeyboardModifiers qtModifiers(std::uint32_t carbonModifiers)
{
    Qt::KeyboardModifiers result;
    for (const ModifierEntry &entry : modifierTable) {
        if (carbonModifiers & entry.carbon)
            result |= entry.qt;
    }
    return result;
}

std::uint32_t carbonModifiers(Qt::KeyboardModifiers modifiers)
{
    std::uint32_t result = 0;
    for (const ModifierEntry &entry : modifierTable) {
        if (modifiers.testFlag(entry.qt))
            result |= entry.carbon;
    }
    return result;
}

std::uint16_t x11Modifiers(std::uint32_t carbonModifiers)
{
    std::uint16_t result = 0;
    for (const ModifierEntry &entry : modifierTable) {
        if (carbonModifiers & entry.carbon)
            result |= entry.x11;
    }
    return result;
}

std::optional<QKeySequence> keySequence(const FWKit::FWKeyCombo &combo)
{
    const std::optional<Qt::Key> key = qtKey(combo.keyCode);
    if (!key)
        return std::nullopt;
    return QKeySequence(QKeyCombination(qtModifiers(combo.modifiers), *key));
}

QString nativeText(const FWKit::FWKeyCombo &combo)
{
    if (const std::optional<QKeySequence> sequence = keySequence(combo))
        return sequence->toString(QKeySequence::NativeText);
    // Qt names no such key: borrow its modifier notation from a known key and drop that key.
    QString text = QKeySequence(QKeyCombination(qtModifiers(combo.modifiers), Qt::Key_A))
                       .toString(QKeySequence::NativeText);
    text.chop(1);
    return text + u"key#"_s + QString::number(combo.keyCode);
}

std::optional<QString> portalTrigger(const FWKit::FWKeyCombo &combo)
{
    const std::optional<std::uint32_t> sym = keysym(combo.keyCode);
    if (!sym)
        return std::nullopt;
    QString key;
    if ((*sym >= 'a' && *sym <= 'z') || (*sym >= '0' && *sym <= '9')) {
        key = QChar(static_cast<char16_t>(*sym));
    } else {
        for (const KeysymName &entry : keysymNames) {
            if (entry.keysym == *sym)
                key = QString::fromUtf16(entry.name);
        }
    }
    if (key.isEmpty())
        return std::nullopt;
    QString text;
    constexpr std::array<std::pair<std::uint32_t, const char16_t *>, 4> modifiers { {
        { FWKit::FWModifier::command, u"CTRL+" },
        { FWKit::FWModifier::option, u"ALT+" },
        { FWKit::FWModifier::shift, u"SHIFT+" },
        { FWKit::FWModifier::control, u"LOGO+" },
    } };
    for (const auto &[bit, name] : modifiers) {
        if (combo.modifiers & bit)
            text += QString::fromUtf16(name);
    }
    return text + key;
}

} // namespace Ferrowick::KeyMap
