#pragma once

#include <FWKit/FWHotkeys.h>
#include <FWKit/HotkeyConfiguration.h>

#include <QMap>
#include <QSet>

namespace FWTest {

// Hot keys in memory. Combinations in `refused` are held by "another application".
class FakeHotkeyBackend final : public FWKit::HotkeyBackend
{
public:
    QSet<FWKit::FWKeyCombo> refused;
    QMap<std::uint64_t, FWKit::FWHotkeyDescriptor> registered; // by reference
    int installs = 0;
    // The system's side of a key press: call it with any identifier, registered or not.
    PressCallback press;

    void installEventHandler(PressCallback callback) override
    {
        ++installs;
        press = std::move(callback);
    }

    std::optional<FWKit::FWHotkeyRef> registerHotkey(
        const FWKit::FWHotkeyDescriptor &hotkey) override
    {
        if (refused.contains({ hotkey.keyCode, hotkey.modifiers }))
            return std::nullopt;
        registered.insert(++m_lastRef, hotkey);
        return FWKit::FWHotkeyRef { m_lastRef };
    }

    void unregisterHotkey(FWKit::FWHotkeyRef ref) override { registered.remove(ref.value); }

private:
    std::uint64_t m_lastRef = 0;
};

} // namespace FWTest
