#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkReply>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>
#include <utility>

class QNetworkAccessManager;

namespace FWTest {

using RawHeader = std::pair<QByteArray, QByteArray>;

// One request as the fake provider received it.
struct RecordedRequest
{
    QByteArray method {};
    QByteArray target {}; // path and query exactly as sent, still percent-encoded
    QString path {}; // percent-decoded once
    QList<RawHeader> headers {}; // in name order, as the server library keeps them
    QByteArray body {};

    // The first value of that header (name compared case-insensitively); null when absent.
    QByteArray header(QByteArrayView name) const;
};

// What the next `count` requests to `path` (decoded, or as sent) get instead of the usual answer;
// count 0: every one until reset(). A delay alone answers as usual afterwards; a stalled answer
// ends when the provider stops. Qt resends a GET whose connection dropped without an answer up to
// three times by itself, so a dropped GET the client must see needs count 4 or 0 (the
// application's transport never lets a request with a body be sent twice).
struct Misbehaviour
{
    QString path {};
    int count = 1;
    std::optional<int> status {}; // default 200, or 302 with a location
    std::optional<QByteArray> body {};
    QByteArray contentType {}; // empty: application/json
    std::optional<QString> location {}; // answer a redirect
    std::chrono::milliseconds delay { 0 };
    bool close = false; // drop the connection without answering
    bool cutOff = false; // send half the body, then drop the connection
};

struct ProviderAccount
{
    QString login {};
    QString password {};
    QStringList batches {};
};

enum class ProviderCertificate {
    Trusted, // for 127.0.0.1 and localhost, signed by caFile()
    WrongHost, // signed by caFile(), but for another host: trusted, yet wrong for 127.0.0.1
};

// The files of a served certificate: PEM certificate and key, and the CA that signed it.
struct CertificateFiles
{
    QString certificate {};
    QString key {};
    QString ca {};
};

struct ProviderOptions
{
    QList<ProviderAccount> accounts {};
    // The certificate made for this run; with `certificateFiles`, what kind those files are (so
    // that the helper's own calls accept a wrong host).
    ProviderCertificate certificate = ProviderCertificate::Trusted;
    // Serve these (copied at the start) instead of a fresh certificate, e.g. an earlier run's: a
    // client that trusted it still does, or one that did not still does not.
    std::optional<CertificateFiles> certificateFiles {};
    // 0: any free port. An earlier run's port brings the provider back where clients look.
    quint16 port = 0;
    bool logRequests = false; // one line per request on the test's standard error
};

struct ProviderAnswer
{
    int status = 0; // 0: no HTTP answer at all
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QList<RawHeader> headers {};
    QByteArray body {};

    QByteArray header(QByteArrayView name) const;
};

// Runs tools/fake-provider for one test: its own port, certificates and accounts. Its control
// calls go through a network manager of its own, so they share nothing with the code under test;
// they block in a local event loop (bounded), which lets the test's other events run meanwhile.
//
//     FWTest::FakeProviderProcess provider;
//     QVERIFY(provider.start({ .accounts = { { "alice", "secret", { "holiday" } } } }));
class FakeProviderProcess
{
public:
    FakeProviderProcess();
    ~FakeProviderProcess();
    FakeProviderProcess(const FakeProviderProcess &) = delete;
    FakeProviderProcess &operator=(const FakeProviderProcess &) = delete;

    // Starts the provider and waits until it serves. False, with a warning, on any failure.
    bool start(const ProviderOptions &options = {});
    // Stops it: true when it exited by itself, cleanly, in time.
    bool stop();
    bool isRunning() const;

    QUrl origin() const; // https://127.0.0.1:PORT
    QUrl baseUrl() const; // the one base of all three services, ending in /api/
    QString caFile() const;
    // The files this run serves; they stay until the next start() or destruction.
    CertificateFiles certificateFiles() const;
    // FERROWICK_SHRINK_API, _PASTE_API, _ACCOUNT_API and _CA_FILE pointing here.
    QProcessEnvironment serviceEnvironment() const;

    QList<RecordedRequest> requests();
    bool misbehave(const Misbehaviour &misbehaviour);
    // What GET /appcast.xml serves from now on, "{origin}" replaced by origin().
    bool setAppcast(const QByteArray &feed);
    QUrl appcastUrl() const; // https://127.0.0.1:PORT/appcast.xml
    // Forgets the recorded requests and pending misbehaviours, and serves the default feed again.
    bool reset();

    // A request through the helper's own connections; redirects are not followed. Recorded like
    // any other request unless it goes to /_fake/.
    ProviderAnswer send(const QByteArray &method, const QUrl &url, const QByteArray &body = {},
        const QList<RawHeader> &headers = {});

private:
    ProviderAnswer control(
        const QByteArray &method, const QString &path, const QByteArray &body = {});

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_process;
    std::unique_ptr<QNetworkAccessManager> m_network;
    QSslConfiguration m_ssl;
    QList<QSslError> m_expectedSslErrors;
    QUrl m_origin;
    QUrl m_baseUrl;
    QString m_caFile;
    CertificateFiles m_certificateFiles;
};

} // namespace FWTest
