#pragma once

#include "AppServices.h"
#include "BrowserLauncher.h"
#include "DesktopSession.h"
#include "Notifier.h"
#include "platform/Autostart.h"
#include "platform/PortalHotkeys.h"
#include "platform/Preferences.h"
#include "platform/SecretServiceKeychain.h"
#include "platform/SystemPasteboard.h"
#include "platform/WaylandClipboard.h"
#include "platform/X11Hotkeys.h"
#include "ui/UpdateDialogs.h"

#include <FWKit/HTTPTransport.h>

#include <memory>

namespace Ferrowick {

// The real desktop behind the container's interfaces: preferences file, Secret Service, network,
// clipboard, notifications, browser, shortcuts and the update dialogs, each from the back-end the
// session offers. main() makes the one of the process, before the container that borrows it.
class DesktopServices
{
public:
    // dataControl is the Wayland clipboard client when the choice asks for it.
    DesktopServices(
        const BackendChoice &choice, std::unique_ptr<WaylandClipboard> dataControl = nullptr);

    Notifier &notifier() { return m_notifier; }
    Autostart &autostart() { return m_autostart; }
    AppServices appServices();

private:
    BackendChoice m_choice;
    Preferences m_preferences;
    SecretServiceKeychain m_keychain;
    std::unique_ptr<FWKit::KeychainServicing> m_cachedKeychain; // over m_keychain
    std::shared_ptr<FWKit::HTTPTransport> m_transport;
    SystemPasteboard m_systemPasteboard;
    std::unique_ptr<WaylandClipboard> m_dataControl;
    BrowserLauncher m_browser;
    Notifier m_notifier; // opens its notices' links in m_browser
    X11Hotkeys m_x11Hotkeys;
    std::unique_ptr<PortalHotkeys> m_portalHotkeys;
    UpdateDialogs m_updateDialogs;
    Autostart m_autostart;
};

} // namespace Ferrowick
