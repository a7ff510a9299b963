#pragma once

#include <FWKit/HotkeyConfiguration.h>

#include <QKeySequence>
#include <QString>

#include <cstdint>
#include <optional>

// Between the stored form of a combination (macOS key code, Carbon modifier mask) and what X11
// and Qt call the same key. One table serves the grabber, the shortcut recorder and the menu; it
// knows the keys of the main block on a US layout (letters, digits, punctuation, F1-F12, Return,
// Tab, Space, Backspace, Escape, Home, End, Page Up/Down, Delete, arrows), not the keypad.
namespace Ferrowick::KeyMap {

// The key's unshifted X keysym: 0 gives XK_a, 36 XK_Return, 122 XK_F1.
std::optional<std::uint32_t> keysym(std::uint32_t keyCode);
// The key that produces the keysym on a US layout, unshifted or shifted: XK_a and XK_A give 0,
// XK_1 and XK_exclam 18, XK_equal and XK_plus 24, XK_ISO_Left_Tab (Shift+Tab) 48. Keypad
// keysyms give nothing.
std::optional<std::uint32_t> keyCodeForKeysym(std::uint32_t keysym);

// The key's Qt::Key: 0 gives Qt::Key_A, 51 Qt::Key_Backspace, 117 Qt::Key_Delete.
std::optional<Qt::Key> qtKey(std::uint32_t keyCode);
// The key Qt reports, also with Shift held on a US layout: Qt::Key_Exclam gives 18, Qt::Key_Plus
// 24, Qt::Key_Backtab 48. A keypad key (KeypadModifier set, or Qt::Key_Enter) gives nothing: it
// is another key than the main-block one with the same symbol.
std::optional<std::uint32_t> keyCodeForQtKey(int key, Qt::KeyboardModifiers modifiers = {});

// Command is Ctrl, Option Alt, Control Meta, Shift Shift; other bits are dropped both ways.
Qt::KeyboardModifiers qtModifiers(std::uint32_t carbonModifiers);
std::uint32_t carbonModifiers(Qt::KeyboardModifiers modifiers);
// ControlMask, ShiftMask, Mod1Mask (Alt) and Mod4Mask (Super) of the core protocol.
std::uint16_t x11Modifiers(std::uint32_t carbonModifiers);

// Nothing when the key is not in the table.
std::optional<QKeySequence> keySequence(const FWKit::FWKeyCombo &combo);
// The desktop's notation, "Ctrl+Alt+Shift+S"; a key not in the table shows as "key#N" after the
// modifiers.
QString nativeText(const FWKit::FWKeyCombo &combo);
// The notation of the GlobalShortcuts portal's preferred_trigger: the modifiers CTRL, ALT, SHIFT,
// LOGO, then the key's xkb keysym name, joined with '+' ("CTRL+ALT+SHIFT+s", "LOGO+comma").
// Nothing when the key is not in the table.
std::optional<QString> portalTrigger(const FWKit::FWKeyCombo &combo);

} // namespace Ferrowick::KeyMap
