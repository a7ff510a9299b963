#pragma once

#include <array>
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

} // namespace FWKit
