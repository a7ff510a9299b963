#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <chrono>
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

} // namespace FWKit
