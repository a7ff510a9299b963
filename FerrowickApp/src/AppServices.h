#pragma once

#include "DesktopShortcuts.h"
#include "KeyringLock.h"
#include "ui/AppRequests.h"
#include "update/UpdatePrompt.h"

#include <FWKit/Credentials.h>
#include <FWKit/Desktop.h>
#include <FWKit/FWHotkeys.h>
#include <FWKit/FWManager.h>
#include <FWKit/HTTPClient.h>
#include <FWKit/HTTPTransport.h>

#include <chrono>
#include <memory>

namespace Ferrowick {

// The desktop services the container works through, borrowed: they must outlive it. The real
// ones come from DesktopServices; tests hand in fakes.
struct AppServices
{
    FWKit::PreferencesStoring &preferences;
    FWKit::KeychainServicing &keychain;
    std::shared_ptr<FWKit::HTTPTransport> transport;
    FWKit::PasteboardReading &pasteboard;
    FWKit::Notifying &notifier;
    FWKit::BrowserLaunching &browser;
    FWKit::HotkeyBackend &hotkeys;
    UpdatePrompt &updatePrompt;
    FWKit::ServiceURLs urls = FWKit::ServiceURLs::fromEnvironment();
    bool automaticUpdateChecks = true;
    std::chrono::milliseconds requestTimeout = FWKit::HTTPClient::defaultTimeout;
    // Who binds the keys in this session; with Binder::desktop, desktopShortcuts says what the
    // desktop bound (it is null otherwise).
    HotkeySettings::Binder binder = HotkeySettings::Binder::recorder;
    DesktopShortcuts *desktopShortcuts = nullptr;
    // False where the clipboard is only readable while one of our windows has the keyboard:
    // shrink then says so instead of finding no link.
    bool clipboardInBackground = true;
    // The keychain's lock, where it can be locked: a locked start waits for the unlock instead of
    // asking for credentials it cannot see.
    KeyringLock *keyringLock = nullptr;
};

} // namespace Ferrowick
