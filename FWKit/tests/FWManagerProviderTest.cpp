// The service manager over the production transport, against the local provider over real TLS.
#include "FWTestSupport.h"
#include "FakeCredentialStore.h"
#include "FakeProviderProcess.h"

#include <FWKit/FWManager.h>
#include <FWKit/NetworkTransport.h>

#include <QSslCertificate>
#include <QTcpServer>
#include <QTest>

using namespace FWKit;
using namespace std::chrono_literals;

template<typename T>
QByteArray describe(const std::expected<T, FWError> &result)
{
    return result ? QByteArray() : result.error().debugDescription().toUtf8();
}

class FWManagerProviderTest : public QObject
{
    Q_OBJECT

    FWTest::FakeProviderProcess provider;
    FWTest::FakeCredentialStore credentials;
    std::shared_ptr<NetworkTransport> transport;
    std::optional<FWManager> manager;

    ServiceURLs providerURLs() const
    {
        return { provider.baseUrl(), provider.baseUrl(), provider.baseUrl() };
    }

    // A fresh transport: TLS sessions and connections are never shared between cases.
    void connect(bool trustProvider = true, std::chrono::milliseconds timeout = 60s)
    {
        const auto authorities =
            trustProvider ? QSslCertificate::fromPath(provider.caFile()) : QList<QSslCertificate>();
        transport = std::make_shared<NetworkTransport>(authorities);
        manager.emplace(HTTPClient(transport, timeout), credentials, providerURLs());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(provider.start({ .accounts = { { "alice", "s3cret:x", { "holiday", "work" } },
                                     { "zoë/x y?", "pw", { "b" } } } }));
    }

    void init()
    {
        QVERIFY(provider.reset());
        credentials.storedLogin = "alice";
        credentials.storedPassword = "s3cret:x";
        connect();
    }

    void shrinkMakesALinkThatRedirects()
    {
        const QString longLink = "https://example.com/a%20b?q=1&r=é#frag";
        const auto result = FWTest::waitFor(manager->shrink(longLink));
        QVERIFY2(result, describe(result).constData());
        QVERIFY(result->isNotice());
        QVERIFY(result->url);

        const auto requests = provider.requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].method, QByteArray("POST"));
        QCOMPARE(requests[0].target, QByteArray("/api/shrink"));
        QCOMPARE(
            requests[0].header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(requests[0].body, "url=" + QUrl::toPercentEncoding(longLink));

        const auto redirect = provider.send("GET", QUrl(*result->url));
        QVERIFY(redirect.status == 301 || redirect.status == 302);
        QCOMPARE(QString::fromUtf8(redirect.header("Location")), longLink);
    }

    void pasteIsServedBack()
    {
        const QString text = "int main() {\n  return 0; // 100% & more\n}\n";
        const auto result = FWTest::waitFor(manager->paste(text, "C"));
        QVERIFY2(result, describe(result).constData());
        QVERIFY(result->isNotice());
        QCOMPARE(provider.send("GET", QUrl(*result->url)).body, text.toUtf8());
        QVERIFY(provider.requests().first().body.startsWith("language=C&paste="));
    }

    void languagesAreAList()
    {
        const auto languages = FWTest::waitFor(manager->validPasteLanguages());
        QVERIFY(languages);
        QVERIFY(languages->contains("C"));
    }

    void authenticateChecksHeaderAndForm()
    {
        QCOMPARE(FWTest::waitFor(manager->authenticate()).value().type, QString("notice"));
        credentials.storedPassword = "wrong";
        QCOMPARE(FWTest::waitFor(manager->authenticate()).value().type, QString("error"));
    }

    void batchesOfTheStoredLogin()
    {
        QCOMPARE(FWTest::waitFor(manager->batches()).value(),
            (QList<Batch> { { "holiday" }, { "work" } }));

        credentials.storedLogin = "zoë/x y?";
        credentials.storedPassword = "pw";
        QCOMPARE(FWTest::waitFor(manager->batches()).value(), QList<Batch> { { "b" } });
        const auto requests = provider.requests();
        QCOMPARE(requests.last().target, QByteArray("/api/list/zo%C3%AB%2Fx%20y%3F"));
        QVERIFY(requests.last().header("Authorization").isNull());
    }

    void failuresBecomeErrors_data()
    {
        QTest::addColumn<FWTest::Misbehaviour>("misbehaviour");
        QTest::addColumn<FWError::Kind>("kind");
        QTest::addColumn<int>("status");

        using M = FWTest::Misbehaviour;
        const QString path = "/api/shrink";
        QTest::newRow("500") << M { .path = path,
            .status = 500,
            .body = R"({"type":"notice","url":"u"})" }
                             << FWError::Kind::HttpStatus << 500;
        QTest::newRow("201") << M { .path = path,
            .status = 201,
            .body = R"({"type":"notice","url":"u"})" }
                             << FWError::Kind::HttpStatus << 201;
        QTest::newRow("non-JSON") << M { .path = path,
            .body = "<html>busy</html>",
            .contentType = "text/html" }
                                  << FWError::Kind::Decoding << 0;
        QTest::newRow("empty body")
            << M { .path = path, .body = "" } << FWError::Kind::Decoding << 0;
        // Nothing is sent twice: Qt would resend a POST whose connection dropped.
        QTest::newRow("dropped connection")
            << M { .path = path, .close = true } << FWError::Kind::Transport << 0;
        QTest::newRow("body cut off")
            << M { .path = path, .body = R"({"type":"notice","url":"u"})", .cutOff = true }
            << FWError::Kind::Transport << 0;
    }

    void failuresBecomeErrors()
    {
        QFETCH(FWTest::Misbehaviour, misbehaviour);
        QFETCH(FWError::Kind, kind);
        QFETCH(int, status);

        QVERIFY(provider.misbehave(misbehaviour));
        const auto result = FWTest::waitFor(manager->shrink("https://example.com"));
        QVERIFY(!result);
        QCOMPARE(result.error().kind(), kind);
        QCOMPARE(result.error().status(), status);
        QCOMPARE(provider.requests().size(), 1);

        // The next request goes through again.
        QVERIFY(FWTest::waitFor(manager->shrink("https://example.com")));
    }

    // Followed, a 307 would even carry the form with the link over plain text.
    void redirectsToPlainHttpAreNotFollowed()
    {
        QTcpServer plain;
        QVERIFY(plain.listen(QHostAddress::LocalHost));
        const QString location =
            QStringLiteral("http://127.0.0.1:%1/api/shrink").arg(plain.serverPort());
        for (const int status : { 302, 307 }) {
            QVERIFY(provider.misbehave(
                { .path = "/api/shrink", .status = status, .location = location }));
            QVERIFY(!FWTest::waitFor(manager->shrink("https://example.com")));
        }
        // The kernel queues a connection whether or not it was accepted.
        QVERIFY(!plain.waitForNewConnection(0));
    }

    void stalledAnswerTimesOut()
    {
        connect(true, 300ms);
        QVERIFY(provider.misbehave({ .path = "/api/valid_languages", .delay = 30s }));
        const auto result = FWTest::waitFor(manager->validPasteLanguages());
        QVERIFY(!result);
        QCOMPARE(result.error().kind(), FWError::Kind::Transport);
    }

    void untrustedCertificateIsATransportError()
    {
        connect(false);
        const auto result = FWTest::waitFor(manager->shrink("https://example.com"));
        QVERIFY(!result);
        QCOMPARE(result.error().kind(), FWError::Kind::Transport);
        QVERIFY(provider.requests().isEmpty());
    }

    void wrongHostCertificateIsATransportError()
    {
        FWTest::FakeProviderProcess wrongHost;
        QVERIFY(wrongHost.start({ .certificate = FWTest::ProviderCertificate::WrongHost }));
        auto wrongTransport =
            std::make_shared<NetworkTransport>(QSslCertificate::fromPath(wrongHost.caFile()));
        FWManager wrongManager(HTTPClient(wrongTransport), credentials,
            { wrongHost.baseUrl(), wrongHost.baseUrl(), wrongHost.baseUrl() });
        const auto result = FWTest::waitFor(wrongManager.validPasteLanguages());
        QVERIFY(!result);
        QCOMPARE(result.error().kind(), FWError::Kind::Transport);
        QVERIFY(wrongHost.requests().isEmpty());
    }

    void environmentPointsAtTheProvider()
    {
        const auto environment = provider.serviceEnvironment();
        for (const QString &name : environment.keys())
            qputenv(name.toUtf8(), environment.value(name).toUtf8());
        // A plain-http override is ignored: the compiled-in address stays.
        qputenv("FERROWICK_ACCOUNT_API", "http://127.0.0.1:9/api/");

        const ServiceURLs urls = ServiceURLs::fromEnvironment();
        QCOMPARE(urls.shrinkAPI, provider.baseUrl());
        QCOMPARE(urls.pasteAPI, provider.baseUrl());
        QCOMPARE(urls.ferroWickAPI, ServiceURLs::production().ferroWickAPI);

        FWManager fromEnvironment(HTTPClient(std::make_shared<NetworkTransport>(
                                      NetworkTransport::extraAuthoritiesFromEnvironment())),
            credentials);
        QVERIFY(FWTest::waitFor(fromEnvironment.validPasteLanguages()));
        for (const QString &name : environment.keys())
            qunsetenv(name.toUtf8());
    }

    void plainHttpIsNeverSent()
    {
        QUrl plain = provider.baseUrl();
        plain.setScheme("http");
        FWManager plainManager(HTTPClient(transport), credentials, { plain, plain, plain });
        const auto result = FWTest::waitFor(plainManager.shrink("https://example.com"));
        QVERIFY(!result);
        QCOMPARE(result.error().kind(), FWError::Kind::Transport);
    }
};

QTEST_GUILESS_MAIN(FWManagerProviderTest)
#include "FWManagerProviderTest.moc"
