#include <FWKit/HotkeyStore.h>

namespace FWKit {

namespace {
// Tested in this order; key codes are not checked against the modifier keys, so a stored
// binding that the editor would refuse still loads.
bool isSane(const FWHotkeyConfiguration &configuration)
{
    if (configuration.combos.empty())
        return false;
    for (const FWHotkeyAction action : allHotkeyActions) {
        const auto combo = configuration.combo(action);
        if (!combo || !FWHotkeyConfiguration::isValid(*combo))
            return false;
    }
    return !configuration.hasDuplicates();
}
} // namespace

HotkeyStore::HotkeyStore(PreferencesStoring &preferences)
    : m_preferences(preferences)
{
}

FWHotkeyConfiguration HotkeyStore::load() const
{
    const auto stored = m_preferences.data(preferencesKey);
    if (!stored)
        return FWHotkeyConfiguration::defaults();
    const auto configuration = FWHotkeyConfiguration::fromJson(*stored);
    if (!configuration || !isSane(*configuration))
        return FWHotkeyConfiguration::defaults();
    return *configuration;
}

std::expected<void, HotkeyStore::Error> HotkeyStore::save(
    const FWHotkeyConfiguration &configuration)
{
    const QByteArray written = configuration.toJson();
    m_preferences.setData(preferencesKey, written);
    // Reading back after a sync checks what reached the file, not just the in-memory cache.
    m_preferences.sync();
    const auto readBack = m_preferences.data(preferencesKey);
    if (!readBack || *readBack != written)
        return std::unexpected(Error::verificationFailed);
    const auto decoded = FWHotkeyConfiguration::fromJson(*readBack);
    if (!decoded || *decoded != configuration)
        return std::unexpected(Error::verificationFailed);
    return {};
}

} // namespace FWKit
