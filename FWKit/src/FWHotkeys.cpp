#include <FWKit/FWHotkeys.h>

#include <QCoreApplication>
#include <QMetaObject>

#include <array>
#include <utility>

namespace FWKit {

// The one object the backend's callback reaches. Its handler is replaced in place by later
// registrations and cleared when the owner goes, so a late press finds nothing to call. Both
// happen on the main thread, where the handler is also read: no lock is needed.
struct FWHotkeys::HandlerBox
{
    Handler handler;
};

namespace {

std::uint32_t signature(FWHotkeyAction action)
{
    static const std::array<std::uint32_t, 4> signatures {
        fwFourCharCode(u"nw1"),
        fwFourCharCode(u"ow1"),
        fwFourCharCode(u"pw1"),
        fwFourCharCode(u"sw1"),
    };
    return signatures[rawValue(action) - 1];
}

} // namespace

std::uint32_t fwFourCharCode(QStringView text)
{
    const QByteArray bytes = text.toUtf8().left(4);
    std::uint32_t code = 0;
    for (const char byte : bytes)
        code = (code << 8) | static_cast<unsigned char>(byte);
    return bytes.isEmpty() ? 0 : code << (8 * (4 - bytes.size()));
}

FWHotkeys::FWHotkeys(HotkeyBackend &backend)
    : m_backend(backend)
{
}

FWHotkeys::~FWHotkeys()
{
    if (m_box)
        m_box->handler = nullptr;
}

QList<FWHotkeyRef> FWHotkeys::registerHotkeys(const FWHotkeyConfiguration &config, Handler handler)
{
    if (m_box) {
        m_box->handler = std::move(handler);
    } else {
        m_box = std::make_shared<HandlerBox>(std::move(handler));
        // May run on any thread: it reads nothing but the id and only posts to the main thread.
        m_backend.installEventHandler([box = m_box](std::uint32_t, std::uint32_t id) {
            const std::optional<FWHotkeyAction> action = hotkeyActionFromRaw(id);
            QCoreApplication *const app = QCoreApplication::instance();
            if (!action || !app)
                return;
            QMetaObject::invokeMethod(
                app,
                [box, action = *action] {
                    // A copy: the handler may register again, replacing itself while it runs.
                    const Handler current = box->handler;
                    if (current)
                        current(action);
                },
                Qt::QueuedConnection);
        });
    }

    QList<FWHotkeyRef> refs;
    for (const auto &[action, descriptor] : descriptors(config)) {
        if (const std::optional<FWHotkeyRef> ref = m_backend.registerHotkey(descriptor))
            refs.append(*ref);
    }
    return refs;
}

void FWHotkeys::unregister(const QList<FWHotkeyRef> &refs)
{
    for (const FWHotkeyRef ref : refs)
        m_backend.unregisterHotkey(ref);
}

std::map<FWHotkeyAction, FWHotkeyDescriptor> FWHotkeys::descriptors(
    const FWHotkeyConfiguration &config)
{
    std::map<FWHotkeyAction, FWHotkeyDescriptor> result;
    for (const FWHotkeyAction action : allHotkeyActions) {
        const auto entry = config.combos.find(action);
        if (entry == config.combos.end())
            continue;
        result.emplace(action,
            FWHotkeyDescriptor { entry->second.keyCode, entry->second.modifiers, signature(action),
                static_cast<std::uint32_t>(rawValue(action)) });
    }
    return result;
}

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
