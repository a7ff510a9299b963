#pragma once

#include "AppServices.h"
#include "BrowserLauncher.h"
#include "Notifier.h"
#include "platform/Preferences.h"
#include "platform/SecretServiceKeychain.h"
#include "platform/SystemPasteboard.h"
#include "platform/X11Hotkeys.h"
#include "ui/UpdateDialogs.h"

#include <FWKit/HTTPTransport.h>

#include <memory>

namespace Ferrowick {

// The real desktop behind the container's interfaces: preferences file, Secret Service, network,
// clipboard, notifications, browser, X11 shortcuts and the update dialogs. main() makes the one of
// the process, before the container that borrows it.
class DesktopServices
{
public:
    DesktopServices();

    Notifier &notifier() { return m_notifier; }
    AppServices appServices();

private:
    Preferences m_preferences;
    SecretServiceKeychain m_keychain;
    std::unique_ptr<FWKit::KeychainServicing> m_cachedKeychain; // over m_keychain
    std::shared_ptr<FWKit::HTTPTransport> m_transport;
    SystemPasteboard m_pasteboard;
    Notifier m_notifier;
    BrowserLauncher m_browser;
    X11Hotkeys m_hotkeys;
    UpdateDialogs m_updateDialogs;
};

} // namespace Ferrowick
