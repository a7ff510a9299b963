#pragma once

#include <FWKit/FWHotkeyAction.h>
#include <FWKit/FWKeyCombo.h>

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <expected>
#include <map>
#include <optional>

namespace FWKit {

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

} // namespace FWKit
