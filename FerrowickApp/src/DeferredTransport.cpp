#include "DeferredTransport.h"

#include <QCoro/QCoroFuture>
#include <QPromise>
#include <QSslConfiguration>

namespace Ferrowick {

DeferredTransport::~DeferredTransport()
{
    if (m_loader.joinable())
        m_loader.join();
}

QCoro::Task<std::expected<FWKit::HTTPResponse, FWKit::FWError>> DeferredTransport::send(
    FWKit::HTTPRequest request)
{
    if (!m_transport) {
        if (!m_loader.joinable())
            startLoading();
        // Requests made meanwhile resume in the order they came.
        const QList<QSslCertificate> authorities = co_await m_authorities;
        if (!m_transport)
            m_transport = std::make_unique<FWKit::NetworkTransport>(authorities);
    }
    co_return co_await m_transport->send(std::move(request));
}

void DeferredTransport::startLoading()
{
    QPromise<QList<QSslCertificate>> promise;
    m_authorities = promise.future();
    m_loader = std::thread([promise = std::move(promise)]() mutable {
        promise.start();
        // Process-wide and thread-safe: the backend stays loaded for the main thread.
        QSslConfiguration::defaultConfiguration();
        promise.addResult(FWKit::NetworkTransport::extraAuthoritiesFromEnvironment());
        promise.finish();
    });
}

} // namespace Ferrowick
