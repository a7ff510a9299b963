#pragma once

#include <QUrl>

namespace FWKit {

// The base URLs of the three services, each an https URL whose path ends in "/api/".
struct ServiceURLs
{
    QUrl shrinkAPI;
    QUrl pasteAPI;
    QUrl ferroWickAPI;

    // The provider's own services.
    static ServiceURLs production();
    // production(), with FERROWICK_SHRINK_API, FERROWICK_PASTE_API and FERROWICK_ACCOUNT_API
    // replacing a URL for tests and the demo. An override that is not an https URL with a host is
    // ignored: plain http is never used.
    static ServiceURLs fromEnvironment();

    friend bool operator==(const ServiceURLs &, const ServiceURLs &) = default;
};

} // namespace FWKit
