#include "DesktopServices.h"

namespace Ferrowick {

namespace {
std::unique_ptr<DesktopServices> &instance()
{
    static std::unique_ptr<DesktopServices> services;
    return services;
}
} // namespace

DesktopServices::DesktopServices()
    : m_transport(std::make_shared<FWKit::NetworkTransport>(
          FWKit::NetworkTransport::extraAuthoritiesFromEnvironment()))
{
}

DesktopServices &DesktopServices::shared()
{
    if (!instance())
        instance() = std::make_unique<DesktopServices>();
    return *instance();
}

void DesktopServices::releaseShared()
{
    instance().reset();
}

AppServices DesktopServices::appServices()
{
    return AppServices {
        .preferences = m_preferences,
        .keychain = m_keychain,
        .transport = m_transport,
        .pasteboard = m_pasteboard,
        .notifier = m_notifier,
        .browser = m_browser,
        .hotkeys = m_hotkeys,
        .urls = FWKit::ServiceURLs::fromEnvironment(),
        .automaticUpdateChecks = FERROWICK_UPDATE_CHECK,
        .requestTimeout = FWKit::HTTPClient::timeoutFromEnvironment(),
    };
}

} // namespace Ferrowick
