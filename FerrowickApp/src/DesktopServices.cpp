#include "DesktopServices.h"

#include "DeferredTransport.h"
#include "platform/TurnCachedKeychain.h"

// GLib names struct members `signals`, which Qt defines as a keyword; nothing here needs it.
#undef signals
#include <glib.h>

namespace Ferrowick {

DesktopServices::DesktopServices()
    : m_cachedKeychain(std::make_unique<TurnCachedKeychain>(m_keychain))
    , m_transport(std::make_shared<DeferredTransport>())
{
    // libsecret does part of its D-Bus work in GLib's shared thread pool, which keeps a finished
    // thread waiting 15 s for more and then wakes it only to end it: an idle tray program would
    // wake for nothing after every keyring read. A thread is cheap to start again.
    g_thread_pool_set_max_unused_threads(0);
}

AppServices DesktopServices::appServices()
{
    return AppServices {
        .preferences = m_preferences,
        .keychain = *m_cachedKeychain,
        .transport = m_transport,
        .pasteboard = m_pasteboard,
        .notifier = m_notifier,
        .browser = m_browser,
        .hotkeys = m_hotkeys,
        .updatePrompt = m_updateDialogs,
        .urls = FWKit::ServiceURLs::fromEnvironment(),
        .automaticUpdateChecks = FERROWICK_UPDATE_CHECK,
        .requestTimeout = FWKit::HTTPClient::timeoutFromEnvironment(),
    };
}

} // namespace Ferrowick
