#pragma once

#include <FWKit/HTTPTransport.h>
#include <FWKit/NetworkTransport.h>

#include <QFuture>
#include <QList>
#include <QSslCertificate>

#include <memory>
#include <thread>

namespace Ferrowick {

// The process's one network transport, made for its first request. Loading the TLS backend
// (OpenSSL, the system's and the extra authorities) is most of what making it costs: a helper
// thread does it while the request waits without holding up the event loop. The launch's first
// refresh then neither delays the tray icon nor takes the processor from the keyring reads before
// it.
class DeferredTransport final : public FWKit::HTTPTransport
{
public:
    ~DeferredTransport() override;

    // The client keeps the transport alive while a request is in flight, so `this` outlives the
    // wait.
    QCoro::Task<std::expected<FWKit::HTTPResponse, FWKit::FWError>> send(
        FWKit::HTTPRequest request) override;

private:
    void startLoading();

    QFuture<QList<QSslCertificate>> m_authorities;
    std::thread m_loader;
    std::unique_ptr<FWKit::NetworkTransport> m_transport;
};

} // namespace Ferrowick
