#include <FWKit/HTTPClient.h>

#include <limits>

namespace FWKit {

namespace {
HTTPRequest baseRequest(const QUrl &url, const char *method, std::chrono::milliseconds timeout)
{
    HTTPRequest request;
    request.url = url;
    request.method = method;
    request.timeout = timeout;
    return request;
}

void applyHeaders(const HTTPClient::Headers &headers, HTTPRequest &request)
{
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        request.setHeader(it.key().toUtf8(), it.value().toUtf8());
}
} // namespace

std::chrono::milliseconds HTTPClient::timeoutFromEnvironment()
{
    bool ok = false;
    const qlonglong ms = qEnvironmentVariable("FERROWICK_HTTP_TIMEOUT_MS").toLongLong(&ok);
    // QNetworkRequest takes an int.
    if (!ok || ms <= 0 || ms > std::numeric_limits<int>::max())
        return defaultTimeout;
    return std::chrono::milliseconds(ms);
}

HTTPRequest HTTPClient::getRequest(const QUrl &url, const Headers &headers) const
{
    HTTPRequest request = baseRequest(url, "GET", m_timeout);
    applyHeaders(headers, request);
    return request;
}

HTTPRequest HTTPClient::postFormRequest(
    const QUrl &url, const Fields &fields, const Headers &headers) const
{
    HTTPRequest request = baseRequest(url, "POST", m_timeout);
    request.body = formBody(fields);
    request.setHeader("Content-Type", "application/x-www-form-urlencoded");
    applyHeaders(headers, request);
    return request;
}

QByteArray HTTPClient::formBody(const Fields &fields)
{
    // toPercentEncoding keeps exactly the unreserved characters of RFC 3986 and writes upper-case
    // hex digits for each UTF-8 byte of everything else.
    QByteArray body;
    for (const auto &[name, value] : fields) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(name);
        body += '=';
        body += QUrl::toPercentEncoding(value);
    }
    return body;
}

QCoro::Task<std::expected<HTTPResponse, FWError>> HTTPClient::perform(
    std::shared_ptr<HTTPTransport> transport, HTTPRequest request)
{
    auto response = co_await transport->send(std::move(request));
    co_return accepted(std::move(response));
}

std::expected<HTTPResponse, FWError> HTTPClient::accepted(
    std::expected<HTTPResponse, FWError> response)
{
    if (response && response->statusCode != 200)
        return std::unexpected(FWError::httpStatus(response->statusCode));
    return response;
}

} // namespace FWKit
