#pragma once

#include <QHashFunctions>
#include <QString>
#include <QtGlobal>

#include <cstdint>

namespace FWKit {

// Carbon modifier bits, the persistent form of a combination's modifiers.
namespace FWModifier {
inline constexpr std::uint32_t command = 0x0100;
inline constexpr std::uint32_t shift = 0x0200;
inline constexpr std::uint32_t option = 0x0800;
inline constexpr std::uint32_t control = 0x1000;
} // namespace FWModifier

// One key combination: a macOS virtual key code (a key position, US layout) and a Carbon modifier
// mask, so a stored combination means the same key on every platform.
struct FWKeyCombo
{
    std::uint32_t keyCode = 0;
    std::uint32_t modifiers = 0;

    // Glyphs in the order ⌃⌥⇧⌘, then the key's name or "key#N": "⌥⇧⌘S". The form for logs and
    // macOS; Linux users see the desktop's notation.
    QString displayString() const;

    friend bool operator==(const FWKeyCombo &, const FWKeyCombo &) = default;
};

inline size_t qHash(const FWKeyCombo &combo, size_t seed = 0)
{
    return qHashMulti(seed, combo.keyCode, combo.modifiers);
}

} // namespace FWKit
