#pragma once

#include <FWKit/CredentialStoring.h>
#include <FWKit/FWManaging.h>
#include <FWKit/HTTPClient.h>
#include <FWKit/ServiceURLs.h>

#include <QStringList>

namespace FWKit {

// Turns each service operation into exactly one request. Holds no state of its own: credentials
// are read from the store at the moment an operation runs. The store must outlive the manager;
// a request in flight needs nothing of the manager.
class FWManager final : public FWManaging
{
public:
    FWManager(HTTPClient client, CredentialStoring &credentials,
        ServiceURLs urls = ServiceURLs::fromEnvironment());

    QCoro::Task<bool> isLoginDefined() override;
    QCoro::Task<std::expected<ShrinkResult, FWError>> shrink(QString url) override;
    QCoro::Task<std::expected<PasteResult, FWError>> paste(QString text, QString language) override;
    QCoro::Task<std::expected<QList<QString>, FWError>> validPasteLanguages() override;
    QCoro::Task<std::expected<AuthResult, FWError>> authenticate() override;
    QCoro::Task<std::expected<QList<Batch>, FWError>> batches() override;

    // The base URL with each segment appended as one path component: everything but the unreserved
    // characters is percent-encoded, so '/', '?' and '#' cannot split it. The dot segments "." and
    // ".." cannot be escaped; callers must not pass them.
    static QUrl endpoint(const QUrl &base, const QStringList &segments);

private:
    struct Credentials
    {
        QString login;
        QString password;
    };
    Credentials credentials() const;

    HTTPClient m_client;
    CredentialStoring &m_credentials;
    ServiceURLs m_urls;
};

} // namespace FWKit
