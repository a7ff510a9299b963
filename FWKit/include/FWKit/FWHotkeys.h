#pragma once

// The global shortcuts at work: the HotkeyBackend interface to the system, FWHotkeys, which
// registers a configuration through it and delivers the presses (with fwFourCharCode), and
// HotkeyStore, which keeps the configuration between runs.

#include <FWKit/Desktop.h>
#include <FWKit/HotkeyConfiguration.h>

#include <QLatin1StringView>
#include <QList>
#include <QStringView>

#include <cstdint>
#include <expected>
#include <functional>
#include <map>
#include <memory>
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

// Turns a shortcut configuration into system-wide hot keys and hands each press, as an action, to
// one handler on the main thread. Main thread only.
class FWHotkeys
{
public:
    using Handler = std::function<void(FWHotkeyAction)>;

    // The backend must outlive this object. Nothing is installed until the first registration.
    explicit FWHotkeys(HotkeyBackend &backend);
    // Presses still queued, and any the backend reports later, are dropped. Registrations stay
    // with their owner, who unregisters them.
    ~FWHotkeys();
    FWHotkeys(const FWHotkeys &) = delete;
    FWHotkeys &operator=(const FWHotkeys &) = delete;

    // Makes handler the receiver of every press from now on, including presses already queued,
    // then registers each bound action in action order. Returns the references of the
    // registrations that succeeded: a refused combination is simply missing, so fewer references
    // than bound actions means the configuration did not fully take effect. Earlier registrations
    // are left alone; unregister them first.
    QList<FWHotkeyRef> registerHotkeys(const FWHotkeyConfiguration &config, Handler handler);
    // Releases every reference in the list; the caller drops the list.
    void unregister(const QList<FWHotkeyRef> &refs);

    // What registerHotkeys asks the system for: an entry for each bound action.
    static std::map<FWHotkeyAction, FWHotkeyDescriptor> descriptors(
        const FWHotkeyConfiguration &config);

private:
    struct HandlerBox;

    HotkeyBackend &m_backend;
    // Shared with the backend's callback and with every queued press, which may outlive us.
    std::shared_ptr<HandlerBox> m_box;
};

// Packs the first four bytes of the text's UTF-8 form big-endian into a code; a shorter text is
// padded with zero bytes at the low end: "nw1" gives 0x6E773100.
std::uint32_t fwFourCharCode(QStringView text);

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
