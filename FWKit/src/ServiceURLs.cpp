#include <FWKit/HTTPTransport.h>
#include <FWKit/ServiceURLs.h>

#include <QtGlobal>

namespace FWKit {

namespace {
QUrl overridden(const char *variable, const QUrl &fallback)
{
    const QString text = qEnvironmentVariable(variable);
    if (text.isEmpty())
        return fallback;
    QUrl url(text, QUrl::StrictMode);
    if (!isHttpsURL(url))
        return fallback;
    if (!url.path().endsWith(QLatin1Char('/')))
        url.setPath(url.path() + QLatin1Char('/'));
    return url;
}
} // namespace

ServiceURLs ServiceURLs::production()
{
    static const ServiceURLs urls {
        QUrl(QStringLiteral("https://shrink.ferrowick.app/api/")),
        QUrl(QStringLiteral("https://paste.ferrowick.app/api/")),
        QUrl(QStringLiteral("https://ferrowick.app/api/")),
    };
    return urls;
}

ServiceURLs ServiceURLs::fromEnvironment()
{
    const ServiceURLs defaults = production();
    return {
        overridden("FERROWICK_SHRINK_API", defaults.shrinkAPI),
        overridden("FERROWICK_PASTE_API", defaults.pasteAPI),
        overridden("FERROWICK_ACCOUNT_API", defaults.ferroWickAPI),
    };
}

} // namespace FWKit
