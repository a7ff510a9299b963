#include <FWKit/NetworkTransport.h>

#include <QCoro/QCoroNetworkReply>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <algorithm>
#include <cstring>
#include <memory>

using namespace Qt::StringLiterals;

namespace FWKit {

namespace {
struct DeleteLater
{
    void operator()(QObject *object) const { object->deleteLater(); }
};

// A request body that can be read once. Qt sends a request again, POST included, when its
// connection drops before any answer; a body it cannot rewind makes that a failure instead, so a
// paste or a shrink reaches the service at most once.
class OneShotBody final : public QIODevice
{
public:
    explicit OneShotBody(QByteArray data)
        : m_data(std::move(data))
    {
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return true; }
    // Qt's way to rewind; without this override QIODevice also warns.
    bool seek(qint64) override { return false; }
    qint64 bytesAvailable() const override
    {
        return m_data.size() - m_read + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 size = std::min(maxSize, m_data.size() - m_read);
        if (size <= 0)
            return -1;
        std::memcpy(data, m_data.constData() + m_read, static_cast<std::size_t>(size));
        m_read += size;
        return size;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    const QByteArray m_data;
    qint64 m_read = 0;
};

// The errors Qt sets beside a whole HTTP answer (4xx and 5xx statuses, a redirect it would not
// follow); any other means the answer did not arrive whole, whatever status came first.
bool comesWithAnAnswer(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::ContentAccessDenied:
    case QNetworkReply::ContentOperationNotPermittedError:
    case QNetworkReply::ContentNotFoundError:
    case QNetworkReply::AuthenticationRequiredError:
    case QNetworkReply::ContentConflictError:
    case QNetworkReply::ContentGoneError:
    case QNetworkReply::UnknownContentError:
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::InternalServerError:
    case QNetworkReply::OperationNotImplementedError:
    case QNetworkReply::ServiceUnavailableError:
    case QNetworkReply::UnknownServerError:
        return true;
    default:
        return false;
    }
}
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
    if (!isHttpsURL(request.url)) {
        co_return std::unexpected(
            FWError::transport(u"Refused to send to a non-https URL: %1"_s.arg(
                request.url.toString(QUrl::RemoveUserInfo))));
    }

    QNetworkRequest networkRequest(request.url);
    networkRequest.setSslConfiguration(m_sslConfiguration);
    networkRequest.setTransferTimeout(static_cast<int>(request.timeout.count()));
    for (const auto &[name, value] : request.headers)
        networkRequest.setRawHeader(name, value);

    QNetworkReply *sent = nullptr;
    if (request.method == "GET" && !request.body) {
        sent = m_manager.get(networkRequest);
    } else {
        const QByteArray data = request.body.value_or(QByteArray());
        networkRequest.setHeader(QNetworkRequest::ContentLengthHeader, data.size());
        // Otherwise Qt copies the body into a buffer it can send again.
        networkRequest.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
        auto *body = new OneShotBody(data);
        sent = request.method == "POST"
            ? m_manager.post(networkRequest, body)
            : m_manager.sendCustomRequest(networkRequest, request.method, body);
        body->setParent(sent);
    }
    std::unique_ptr<QNetworkReply, DeleteLater> reply(sent);

    co_await qCoro(reply.get()).waitForFinished(std::chrono::milliseconds(-1));

    if (reply->error() == QNetworkReply::ContentReSendError)
        co_return std::unexpected(FWError::transport(
            u"The request would have to be sent again (dropped connection or redirect)"_s));
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (reply->error() != QNetworkReply::NoError &&
        (!status.isValid() || !comesWithAnAnswer(reply->error())))
        co_return std::unexpected(FWError::transport(reply->errorString()));
    if (!status.isValid())
        co_return std::unexpected(FWError::transport(u"Received non-HTTP response"_s));
    co_return HTTPResponse { status.toInt(), reply->readAll() };
}

} // namespace FWKit
