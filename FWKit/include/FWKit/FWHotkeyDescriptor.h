#pragma once

#include <cstdint>

namespace FWKit {

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

} // namespace FWKit
