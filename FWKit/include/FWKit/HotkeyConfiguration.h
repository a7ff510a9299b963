#pragma once

// What the global shortcuts are, as values: FWHotkeyAction, FWKeyCombo (with its FWModifier bits),
// FWHotkeyConfiguration, which binds one to the other, and FWHotkeyDescriptor and FWHotkeyRef,
// a registration as asked of the system and as held.

#include <QByteArray>
#include <QHashFunctions>
#include <QString>
#include <QtGlobal>

#include <array>
#include <cstdint>
#include <expected>
#include <map>
#include <optional>

namespace FWKit {

// What a global shortcut does. The raw values are the persistent form: stored configurations and
// the shortcut ids registered with the system use them.
enum class FWHotkeyAction : int {
    newBatch = 1,
    openFerrowick = 2,
    togglePaste = 3,
    newShrink = 4,
};

// Declaration order, which every loop over the actions follows.
inline constexpr std::array<FWHotkeyAction, 4> allHotkeyActions {
    FWHotkeyAction::newBatch,
    FWHotkeyAction::openFerrowick,
    FWHotkeyAction::togglePaste,
    FWHotkeyAction::newShrink,
};

// The action of a raw value 1 to 4; nothing for any other integer.
constexpr std::optional<FWHotkeyAction> hotkeyActionFromRaw(long long rawValue)
{
    if (rawValue < 1 || rawValue > 4)
        return std::nullopt;
    return static_cast<FWHotkeyAction>(rawValue);
}

constexpr int rawValue(FWHotkeyAction action)
{
    return static_cast<int>(action);
}

// The case name, as the log writes it ("newShrink").
const char *hotkeyActionName(FWHotkeyAction action);

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

// The combination bound to each action; an action without an entry has no shortcut. Completeness
// and uniqueness are not enforced here: the editor checks them with isDuplicate(), the store
// when loading.
struct FWHotkeyConfiguration
{
    // Ordered by action, so the encoded bytes are the same in every run.
    std::map<FWHotkeyAction, FWKeyCombo> combos;

    std::optional<FWKeyCombo> combo(FWHotkeyAction action) const;
    // Nothing removes the action's entry.
    void setCombo(FWHotkeyAction action, std::optional<FWKeyCombo> combo);

    // Command+Option+Shift with B, O, P and S.
    static const FWHotkeyConfiguration &defaults();

    // Carries Command, Option or Control; Shift alone is not enough for a global shortcut.
    static bool isValid(const FWKeyCombo &combo);
    // False for the modifier keys themselves (key codes 54 to 63).
    static bool isBindable(std::uint32_t keyCode);

    // Whether binding combo to action would collide with another action's combo. Re-binding an
    // action to its own combo never collides.
    bool isDuplicate(const FWKeyCombo &combo, FWHotkeyAction action) const;
    bool hasDuplicates() const;

    // Compact: {"combos":[1,{"keyCode":11,"modifiers":2816},2,...]}, a flat list alternating an
    // action's raw value and its combo.
    QByteArray toJson() const;
    // Strict: any fault fails the whole configuration, nothing is filled in. Numbers must be
    // integral and in range; an integral value written as 1.0 or 1e0 is accepted, since the JSON
    // reader keeps no trace of how a number was spelt. An action listed twice keeps its later
    // combo; unknown members are ignored.
    static std::expected<FWHotkeyConfiguration, QString> fromJson(const QByteArray &json);

    friend bool operator==(const FWHotkeyConfiguration &, const FWHotkeyConfiguration &) = default;
};

// What the system is asked to reserve for one action: the combination and the identifier
// (signature, id) that comes back with each press of it.
struct FWHotkeyDescriptor
{
    std::uint32_t keyCode = 0;
    std::uint32_t modifiers = 0;
    std::uint32_t signature = 0;
    // The action's raw value, 1 to 4.
    std::uint32_t id = 0;

    friend bool operator==(const FWHotkeyDescriptor &, const FWHotkeyDescriptor &) = default;
};

// One reservation held with the system. Opaque: only the backend that issued it knows what it
// stands for. Whoever registered owns it and gives it back through unregister.
struct FWHotkeyRef
{
    std::uint64_t value = 0;

    friend bool operator==(const FWHotkeyRef &, const FWHotkeyRef &) = default;
};

inline size_t qHash(FWHotkeyRef ref, size_t seed = 0)
{
    return ::qHash(ref.value, seed);
}

} // namespace FWKit
