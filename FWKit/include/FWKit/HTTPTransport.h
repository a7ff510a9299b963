#pragma once

// One HTTP exchange below the client: HTTPRequest, HTTPResponse, the HTTPTransport that turns the
// one into the other, and isHttpsURL.

#include <FWKit/FWError.h>

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QList>
#include <QUrl>

#include <chrono>
#include <expected>
#include <optional>
#include <utility>

namespace FWKit {

// The only URLs the program sends to or accepts from configuration: valid, https, with a host.
// Plain http never is.
bool isHttpsURL(const QUrl &url);

// A finished request as the client hands it to a transport.
struct HTTPRequest
{
    QUrl url;
    QByteArray method;
    // In the order set; names are unique, compared without regard to case.
    QList<std::pair<QByteArray, QByteArray>> headers;
    std::optional<QByteArray> body;
    std::chrono::milliseconds timeout { 0 };

    // Replaces an earlier value under the same name (HTTP header names ignore case).
    void setHeader(const QByteArray &name, const QByteArray &value);
    std::optional<QByteArray> header(const QByteArray &name) const;

    friend bool operator==(const HTTPRequest &, const HTTPRequest &) = default;
};

// What a transport brings back from an HTTP exchange, whatever the status.
struct HTTPResponse
{
    int statusCode = 0;
    QByteArray body;

    friend bool operator==(const HTTPResponse &, const HTTPResponse &) = default;
};

// Sends one finished request. Any answer that is HTTP comes back as a response, whatever its
// status; everything else (no connection, TLS, timeout, a non-HTTP answer) as an FWError.
class HTTPTransport
{
public:
    virtual ~HTTPTransport() = default;

    virtual QCoro::Task<std::expected<HTTPResponse, FWError>> send(HTTPRequest request) = 0;
};

} // namespace FWKit
