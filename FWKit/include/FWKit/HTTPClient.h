#pragma once

#include <FWKit/FWError.h>
#include <FWKit/HTTPTransport.h>
#include <FWKit/Records.h>

#include <QCoro/QCoroTask>
#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>

#include <chrono>
#include <expected>
#include <memory>
#include <utility>

namespace FWKit {

// Builds the service requests (JSON GET, form-encoded POST), sends them through a transport and
// turns every failure on the way into an FWError. Only status 200 is a success. Keeps no state:
// a call in flight needs nothing of the client that started it.
class HTTPClient
{
public:
    using Headers = QMap<QString, QString>;
    using Fields = QList<std::pair<QString, QString>>;

    static constexpr std::chrono::milliseconds defaultTimeout { 60'000 };

    // FERROWICK_HTTP_TIMEOUT_MS (a positive whole number) when set, else the default: the fault
    // tests shorten it so that a stalled provider fails in seconds.
    static std::chrono::milliseconds timeoutFromEnvironment();

    // The timeout is a seam for tests; the application uses timeoutFromEnvironment().
    explicit HTTPClient(std::shared_ptr<HTTPTransport> transport,
        std::chrono::milliseconds timeout = defaultTimeout)
        : m_transport(std::move(transport))
        , m_timeout(timeout)
    {
    }

    template<typename T>
    QCoro::Task<std::expected<T, FWError>> getJSON(
        const QUrl &url, const Headers &headers = {}) const
    {
        return decoded<T>(perform(m_transport, getRequest(url, headers)));
    }

    template<typename T>
    QCoro::Task<std::expected<T, FWError>> postFormJSON(
        const QUrl &url, const Fields &fields, const Headers &headers = {}) const
    {
        return decoded<T>(perform(m_transport, postFormRequest(url, fields, headers)));
    }

    HTTPRequest getRequest(const QUrl &url, const Headers &headers) const;
    HTTPRequest postFormRequest(
        const QUrl &url, const Fields &fields, const Headers &headers) const;

    // name=value pairs joined by '&', each side percent-encoded except the 66 unreserved
    // characters, so a space is %20 and never '+'.
    static QByteArray formBody(const Fields &fields);

    // The one rule for an answer: only status 200 is one; anything else is httpStatus.
    static std::expected<HTTPResponse, FWError> accepted(
        std::expected<HTTPResponse, FWError> response);

private:
    // A 200 answer. (Not its bare body: g++ 12 cannot compile a Task of std::expected<QByteArray>
    // in debug builds, because QByteArray converts from nullptr.)
    static QCoro::Task<std::expected<HTTPResponse, FWError>> perform(
        std::shared_ptr<HTTPTransport> transport, HTTPRequest request);

    template<typename T>
    static QCoro::Task<std::expected<T, FWError>> decoded(
        QCoro::Task<std::expected<HTTPResponse, FWError>> response)
    {
        auto answer = co_await std::move(response);
        if (!answer)
            co_return std::unexpected(answer.error());
        auto value = JSONDecoding::decode<T>(answer->body);
        if (!value)
            co_return std::unexpected(FWError::decoding(value.error()));
        co_return std::move(*value);
    }

    std::shared_ptr<HTTPTransport> m_transport;
    std::chrono::milliseconds m_timeout;
};

} // namespace FWKit
