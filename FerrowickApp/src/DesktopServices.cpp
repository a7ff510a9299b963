#include "DesktopServices.h"

#include "DeferredTransport.h"
#include "platform/TurnCachedKeychain.h"

namespace Ferrowick {

DesktopServices::DesktopServices(
    const BackendChoice &choice, std::unique_ptr<WaylandClipboard> dataControl)
    : m_choice(choice)
    , m_cachedKeychain(std::make_unique<TurnCachedKeychain>(m_keychain))
    , m_transport(std::make_shared<DeferredTransport>())
    , m_dataControl(std::move(dataControl))
    , m_notifier(m_browser)
{
    if (m_choice.shortcuts == ShortcutBackendKind::portal)
        m_portalHotkeys = std::make_unique<PortalHotkeys>();
}

AppServices DesktopServices::appServices()
{
    FWKit::PasteboardReading &pasteboard = m_dataControl
        ? static_cast<FWKit::PasteboardReading &>(*m_dataControl)
        : m_systemPasteboard;
    FWKit::HotkeyBackend &hotkeys =
        m_portalHotkeys ? static_cast<FWKit::HotkeyBackend &>(*m_portalHotkeys) : m_x11Hotkeys;
    HotkeySettings::Binder binder = HotkeySettings::Binder::recorder;
    if (m_choice.shortcuts == ShortcutBackendKind::portal)
        binder = HotkeySettings::Binder::desktop;
    else if (m_choice.shortcuts == ShortcutBackendKind::commands)
        binder = HotkeySettings::Binder::commands;
    return AppServices {
        .preferences = m_preferences,
        .keychain = *m_cachedKeychain,
        .transport = m_transport,
        .pasteboard = pasteboard,
        .notifier = m_notifier,
        .browser = m_browser,
        .hotkeys = hotkeys,
        .updatePrompt = m_updateDialogs,
        .urls = FWKit::ServiceURLs::fromEnvironment(),
        .automaticUpdateChecks = FERROWICK_UPDATE_CHECK,
        .requestTimeout = FWKit::HTTPClient::timeoutFromEnvironment(),
        .binder = binder,
        .desktopShortcuts = m_portalHotkeys.get(),
        .clipboardInBackground = m_choice.clipboard != ClipboardBackendKind::none,
        .keyringLock = &m_keychain,
    };
}

} // namespace Ferrowick
