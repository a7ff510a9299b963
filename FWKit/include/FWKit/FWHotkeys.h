#pragma once

#include <FWKit/FWHotkeyAction.h>
#include <FWKit/FWHotkeyConfiguration.h>
#include <FWKit/FWHotkeyDescriptor.h>
#include <FWKit/FWHotkeyRef.h>
#include <FWKit/HotkeyBackend.h>

#include <QList>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace FWKit {

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

} // namespace FWKit
