#pragma once

#include <FWKit/Desktop.h>
#include <FWKit/FWHotkeyConfiguration.h>

#include <QLatin1StringView>

#include <expected>

namespace FWKit {

// Keeps the shortcut configuration in the user preferences between runs, as the configuration's
// JSON bytes. Holds nothing itself: every call goes to the preferences.
class HotkeyStore
{
public:
    static constexpr QLatin1StringView preferencesKey { "fwHotkeyConfiguration" };

    // The caller's only news is that saving failed; the cause is for the log.
    enum class Error {
        // The value read back is missing, differs from what was written, or decodes to a
        // different configuration.
        verificationFailed,
    };

    // The preferences must outlive the store.
    explicit HotkeyStore(PreferencesStoring &preferences);

    // The stored configuration when it is present, decodable and complete (every action bound
    // to a valid combo, no combo shared); the defaults otherwise. Never writes: a bad stored
    // value stays until the next successful save.
    FWHotkeyConfiguration load() const;

    // Writes, syncs and reads back. A failed verification does not undo the write.
    [[nodiscard]] std::expected<void, Error> save(const FWHotkeyConfiguration &configuration);

private:
    PreferencesStoring &m_preferences;
};

} // namespace FWKit
