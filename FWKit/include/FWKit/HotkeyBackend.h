#pragma once

#include <FWKit/FWHotkeyDescriptor.h>
#include <FWKit/FWHotkeyRef.h>

#include <cstdint>
#include <functional>
#include <optional>

namespace FWKit {

// The system's hot-key service: X11 grabs on Linux, a fake in tests.
class HotkeyBackend
{
public:
    // Receives the identifier of each press. A backend may call it on any thread, and keeps
    // calling it for as long as the backend lives.
    using PressCallback = std::function<void(std::uint32_t signature, std::uint32_t id)>;

    virtual ~HotkeyBackend() = default;

    // Every later press of a hot key registered here calls the callback. Called once, before the
    // first registration; there is no way to remove it.
    virtual void installEventHandler(PressCallback callback) = 0;
    // Reserves the combination for this application. Nothing when the system refuses it (held by
    // another application, or not producible on this keyboard); a refusal reserves nothing.
    virtual std::optional<FWHotkeyRef> registerHotkey(const FWHotkeyDescriptor &descriptor) = 0;
    // Releases the reservation. A reference that is not held is ignored.
    virtual void unregisterHotkey(FWHotkeyRef ref) = 0;
};

} // namespace FWKit
