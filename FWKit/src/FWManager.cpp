#include <FWKit/FWManager.h>

#include <QtGlobal>

using namespace Qt::StringLiterals;

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
        QUrl(u"https://shrink.ferrowick.app/api/"_s),
        QUrl(u"https://paste.ferrowick.app/api/"_s),
        QUrl(u"https://ferrowick.app/api/"_s),
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

FWManager::FWManager(HTTPClient client, CredentialStoring &credentials, ServiceURLs urls)
    : m_client(std::move(client))
    , m_credentials(credentials)
    , m_urls(std::move(urls))
{
}

FWManager::Credentials FWManager::credentials() const
{
    return { m_credentials.login().value_or(QString()),
        m_credentials.password().value_or(QString()) };
}

QUrl FWManager::endpoint(const QUrl &base, const QStringList &segments)
{
    QByteArray path = base.toEncoded();
    for (const QString &segment : segments)
        path += QUrl::toPercentEncoding(segment) + '/';
    path.chop(segments.isEmpty() ? 0 : 1);
    return QUrl::fromEncoded(path, QUrl::StrictMode);
}

QCoro::Task<bool> FWManager::isLoginDefined()
{
    const Credentials stored = credentials();
    co_return !stored.login.isEmpty() && !stored.password.isEmpty();
}

QCoro::Task<std::expected<ShrinkResult, FWError>> FWManager::shrink(QString url)
{
    const HTTPClient::Fields fields { { u"url"_s, url } };
    return m_client.postFormJSON<ShrinkResult>(endpoint(m_urls.shrinkAPI, { u"shrink"_s }), fields);
}

QCoro::Task<std::expected<PasteResult, FWError>> FWManager::paste(QString text, QString language)
{
    const HTTPClient::Fields fields {
        { u"language"_s, language },
        { u"paste"_s, text },
    };
    return m_client.postFormJSON<PasteResult>(endpoint(m_urls.pasteAPI, { u"paste"_s }), fields);
}

QCoro::Task<std::expected<QList<QString>, FWError>> FWManager::validPasteLanguages()
{
    return m_client.getJSON<QList<QString>>(endpoint(m_urls.pasteAPI, { u"valid_languages"_s }));
}

namespace {
template<typename T>
QCoro::Task<std::expected<T, FWError>> failed(FWError error)
{
    co_return std::unexpected(std::move(error));
}
} // namespace

QCoro::Task<std::expected<AuthResult, FWError>> FWManager::authenticate()
{
    const Credentials stored = credentials();
    if (stored.login.isEmpty() || stored.password.isEmpty())
        return failed<AuthResult>(FWError::notAuthenticated());

    const QByteArray token =
        (stored.login + QLatin1Char(':') + stored.password).toUtf8().toBase64();
    const HTTPClient::Headers headers {
        { u"Authorization"_s, u"Basic "_s + QString::fromLatin1(token) },
    };
    const HTTPClient::Fields fields {
        { u"login"_s, stored.login },
        { u"password"_s, stored.password },
    };
    return m_client.postFormJSON<AuthResult>(
        endpoint(m_urls.ferroWickAPI, { u"authenticate"_s }), fields, headers);
}

QCoro::Task<std::expected<QList<Batch>, FWError>> FWManager::batches()
{
    // The password is only checked for presence; it is not sent.
    const Credentials stored = credentials();
    if (stored.login.isEmpty() || stored.password.isEmpty())
        return failed<QList<Batch>>(FWError::notAuthenticated());
    // A dot segment cannot be escaped (URLs decode %2E) and would be resolved away before it is
    // sent, turning the request into one for another endpoint. No account has such a login: logins
    // are host-name labels.
    if (stored.login == QLatin1String(".") || stored.login == QLatin1String(".."))
        return failed<QList<Batch>>(FWError::validation(
            u"The login \"%1\" is not a valid account name."_s.arg(stored.login)));

    return m_client.getJSON<QList<Batch>>(
        endpoint(m_urls.ferroWickAPI, { u"list"_s, stored.login }));
}

} // namespace FWKit
