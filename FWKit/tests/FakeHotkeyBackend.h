#pragma once

#include <FWKit/FWKeyCombo.h>
#include <FWKit/HotkeyBackend.h>

#include <QList>
#include <QMap>
#include <QSet>

namespace FWTest {

// Hot keys in memory. Combinations in `refused` are taken by "another application"; press() and
// fire() play the system's side of a key press.
class FakeHotkeyBackend final : public FWKit::HotkeyBackend
{
public:
    QSet<FWKit::FWKeyCombo> refused;
    int installs = 0;
    // The reservations held now, by reference.
    QMap<std::uint64_t, FWKit::FWHotkeyDescriptor> registered;

    void installEventHandler(PressCallback callback) override
    {
        ++installs;
        m_callback = std::move(callback);
    }

    std::optional<FWKit::FWHotkeyRef> registerHotkey(
        const FWKit::FWHotkeyDescriptor &descriptor) override
    {
        if (refused.contains({ descriptor.keyCode, descriptor.modifiers }))
            return std::nullopt;
        registered.insert(++m_lastRef, descriptor);
        return FWKit::FWHotkeyRef { m_lastRef };
    }

    void unregisterHotkey(FWKit::FWHotkeyRef ref) override { registered.remove(ref.value); }

    bool isRegistered(const FWKit::FWKeyCombo &combo) const { return holder(combo).has_value(); }

    // Presses a registered combination; false when nothing holds it (a press nobody hears).
    bool press(const FWKit::FWKeyCombo &combo)
    {
        const std::optional<FWKit::FWHotkeyDescriptor> descriptor = holder(combo);
        if (descriptor)
            fire(descriptor->signature, descriptor->id);
        return descriptor.has_value();
    }

    // Reports a press with any identifier, registered or not.
    void fire(std::uint32_t signature, std::uint32_t id)
    {
        if (m_callback)
            m_callback(signature, id);
    }

private:
    std::optional<FWKit::FWHotkeyDescriptor> holder(const FWKit::FWKeyCombo &combo) const
    {
        for (const FWKit::FWHotkeyDescriptor &descriptor : registered) {
            if (FWKit::FWKeyCombo { descriptor.keyCode, descriptor.modifiers } == combo)
                return descriptor;
        }
        return std::nullopt;
    }

    PressCallback m_callback;
    std::uint64_t m_lastRef = 0;
};

} // namespace FWTest
