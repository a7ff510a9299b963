#include <FWKit/NetworkTransport.h>

#include <QCoro/QCoroNetworkReply>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <memory>

namespace FWKit {

namespace {
struct DeleteLater
{
    void operator()(QObject *object) const { object->deleteLater(); }
};
} // namespace

NetworkTransport::NetworkTransport(const QList<QSslCertificate> &extraAuthorities)
    : m_sslConfiguration(QSslConfiguration::defaultConfiguration())
{
    if (!extraAuthorities.isEmpty())
        m_sslConfiguration.addCaCertificates(extraAuthorities);
}

QList<QSslCertificate> NetworkTransport::extraAuthoritiesFromEnvironment()
{
    const QString path = qEnvironmentVariable("FERROWICK_CA_FILE");
    if (path.isEmpty())
        return {};
    return QSslCertificate::fromPath(path, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
}

QCoro::Task<std::expected<HTTPResponse, FWError>> NetworkTransport::send(HTTPRequest request)
{
    if (request.url.scheme() != QLatin1String("https") || request.url.host().isEmpty()) {
        co_return std::unexpected(
            FWError::transport(QStringLiteral("Refused to send to a non-https URL: %1")
                                   .arg(request.url.toString(QUrl::RemoveUserInfo))));
    }

    QNetworkRequest networkRequest(request.url);
    networkRequest.setSslConfiguration(m_sslConfiguration);
    networkRequest.setTransferTimeout(static_cast<int>(request.timeout.count()));
    for (const auto &[name, value] : request.headers)
        networkRequest.setRawHeader(name, value);

    QNetworkReply *sent = nullptr;
    if (request.method == "GET" && !request.body)
        sent = m_manager.get(networkRequest);
    else if (request.method == "POST")
        sent = m_manager.post(networkRequest, request.body.value_or(QByteArray()));
    else
        sent = m_manager.sendCustomRequest(
            networkRequest, request.method, request.body.value_or(QByteArray()));
    std::unique_ptr<QNetworkReply, DeleteLater> reply(sent);

    co_await qCoro(reply.get()).waitForFinished(std::chrono::milliseconds(-1));

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        if (reply->error() != QNetworkReply::NoError)
            co_return std::unexpected(FWError::transport(reply->errorString()));
        co_return std::unexpected(FWError::transport(QStringLiteral("Received non-HTTP response")));
    }
    co_return HTTPResponse { status.toInt(), reply->readAll() };
}

} // namespace FWKit
