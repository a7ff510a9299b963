#pragma once

#include <FWKit/HTTPTransport.h>

#include <QList>
#include <QNetworkAccessManager>
#include <QSslCertificate>
#include <QSslConfiguration>

namespace FWKit {

// The production transport: one QNetworkAccessManager with the library's defaults for redirects,
// cookies and proxies. Only https is sent, and certificates are always verified. The client keeps
// the transport alive while a request is in flight.
class NetworkTransport final : public HTTPTransport
{
public:
    // The extra authorities are trusted in addition to the system's (a local provider in tests and
    // the demo).
    explicit NetworkTransport(const QList<QSslCertificate> &extraAuthorities = {});

    // The certificates of the PEM file named by FERROWICK_CA_FILE (tests and the demo); none when
    // it is unset or unreadable.
    static QList<QSslCertificate> extraAuthoritiesFromEnvironment();

    QCoro::Task<std::expected<HTTPResponse, FWError>> send(HTTPRequest request) override;

private:
    QNetworkAccessManager m_manager;
    // One configuration for every request: a per-request change is ignored while a connection to
    // the host is cached.
    QSslConfiguration m_sslConfiguration;
};

} // namespace FWKit
