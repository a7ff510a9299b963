#pragma once

// The provider's services as the model reaches them: the FWManaging interface, FWManager, which
// sends each operation as one request, and the ServiceURLs it sends them to.

#include <FWKit/Credentials.h>
#include <FWKit/FWError.h>
#include <FWKit/HTTPClient.h>
#include <FWKit/Records.h>

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <expected>

namespace FWKit {

// The base URLs of the three services, each an https URL whose path ends in "/api/".
struct ServiceURLs
{
    QUrl shrinkAPI;
    QUrl pasteAPI;
    QUrl ferroWickAPI;

    // The provider's own services.
    static ServiceURLs production();
    // production(), with FERROWICK_SHRINK_API, FERROWICK_PASTE_API and FERROWICK_ACCOUNT_API
    // replacing a URL for tests and the demo. An override that is not an https URL with a host is
    // ignored: plain http is never used.
    static ServiceURLs fromEnvironment();

    friend bool operator==(const ServiceURLs &, const ServiceURLs &) = default;
};

// The provider's three services as the model sees them. Answers that decode are handed back
// whatever their type; judging them is the caller's task.
class FWManaging
{
public:
    virtual ~FWManaging() = default;

    // True when both a login and a password are stored; sends nothing.
    virtual QCoro::Task<bool> isLoginDefined() = 0;
    virtual QCoro::Task<std::expected<ShrinkResult, FWError>> shrink(QString url) = 0;
    virtual QCoro::Task<std::expected<PasteResult, FWError>> paste(
        QString text, QString language) = 0;
    virtual QCoro::Task<std::expected<QList<QString>, FWError>> validPasteLanguages() = 0;
    virtual QCoro::Task<std::expected<AuthResult, FWError>> authenticate() = 0;
    virtual QCoro::Task<std::expected<QList<Batch>, FWError>> batches() = 0;
};

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
