// The service manager: whose batches it asks for, and, over the production transport against the
// local provider over real TLS, every way an answer can go wrong ending in one error, with nothing
// sent twice or in clear.
#include "FWTestSupport.h"
#include "FakeCredentialStore.h"
#include "FakeProviderProcess.h"
#include "FakeTransport.h"

#include <FWKit/FWManager.h>
#include <FWKit/NetworkTransport.h>

#include <QSslCertificate>
#include <QTcpServer>
#include <QTest>

using namespace FWKit;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using FWTest::Misbehaviour;
using Kind = FWError::Kind;
using Text = std::optional<QString>;

// What the client talks to: the provider with or without its authority, a provider whose
// certificate names another host, or a plain-http listener.
enum class Server { Trusted, Untrusted, WrongHost, PlainHttp };

class FWManagerTest : public QObject
{
    Q_OBJECT

    FWTest::FakeProviderProcess provider, wrongHost;
    QTcpServer plain;
    FWTest::FakeCredentialStore credentials;

    QString plainUrl() const { return u"http://127.0.0.1:%1/api/"_s.arg(plain.serverPort()); }

private slots:
    void initTestCase()
    {
        QVERIFY(provider.start());
        QVERIFY(wrongHost.start({ .certificate = FWTest::ProviderCertificate::WrongHost }));
        QVERIFY(plain.listen(QHostAddress::LocalHost));
    }

    // Nothing is sent without both a login and a password. The login is one path segment; a dot
    // segment cannot be escaped (URLs decode %2E) and would be resolved into another endpoint.
    void batchesOfTheStoredLogin_data()
    {
        QTest::addColumn<Text>("login");
        QTest::addColumn<Text>("password");
        QTest::addColumn<bool>("defined");
        QTest::addColumn<QString>("segment"); // empty: refused, nothing sent
        QTest::newRow("delimiters") << Text("a/..?#%") << Text("pw") << true << "a%2F..%3F%23%25";
        QTest::newRow("non-ASCII, space") << Text("zoë x") << Text("pw") << true << "zo%C3%AB%20x";
        QTest::newRow("dot") << Text(".") << Text("pw") << true << "";
        QTest::newRow("dot dot") << Text("..") << Text("pw") << true << "";
        QTest::newRow("no password") << Text("me") << Text() << false << "";
        QTest::newRow("empty password") << Text("me") << Text("") << false << "";
        QTest::newRow("no login") << Text() << Text("pw") << false << "";
    }

    void batchesOfTheStoredLogin()
    {
        QFETCH(Text, login);
        QFETCH(Text, password);
        QFETCH(QString, segment);
        credentials.storedLogin = login;
        credentials.storedPassword = password;
        auto transport = std::make_shared<FWTest::FakeTransport>();
        FWManager manager(HTTPClient(transport), credentials, ServiceURLs::production());
        QTEST(FWTest::waitFor(manager.isLoginDefined()), "defined");
        FWTest::waitFor(manager.batches());
        QCOMPARE(transport->requests.value(0).url.path(QUrl::FullyEncoded),
            segment.isEmpty() ? segment : "/api/list/" + segment);
    }

    void failuresBecomeErrors_data()
    {
        QTest::addColumn<Server>("server");
        QTest::addColumn<Misbehaviour>("answer"); // to the shrink request
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("status");
        const auto row = [](const char *name, Misbehaviour answer, Kind kind, int status = 0,
                             Server server = Server::Trusted) {
            QTest::newRow(name) << server << answer << kind << status;
        };
        const QByteArray notice = R"({"type":"notice","url":"u"})";
        row("500", { .status = 500, .body = notice }, Kind::httpStatus, 500);
        row("201", { .status = 201, .body = notice }, Kind::httpStatus, 201);
        row("not JSON", { .body = "<html>busy</html>", .contentType = "text/html" },
            Kind::decoding);
        // Qt would send a POST again once its connection dropped.
        row("dropped connection", { .close = true }, Kind::transport);
        row("body cut off", { .body = notice, .cutOff = true }, Kind::transport);
        // Followed, a 307 would even carry the form with the link over plain text; as the body
        // would have to be sent again, it is not.
        const QString http = plainUrl() + "shrink";
        row("302 to http", { .status = 302, .location = http }, Kind::httpStatus, 302);
        row("307 to http", { .status = 307, .location = http }, Kind::transport);
        row("stalled answer", { .delay = 30s }, Kind::transport);
        row("unknown authority", {}, Kind::transport, 0, Server::Untrusted);
        row("certificate for another host", {}, Kind::transport, 0, Server::WrongHost);
        row("plain http", {}, Kind::transport, 0, Server::PlainHttp);
    }

    void failuresBecomeErrors()
    {
        QFETCH(Server, server);
        QFETCH(Misbehaviour, answer);
        FWTest::FakeProviderProcess &host = server == Server::WrongHost ? wrongHost : provider;
        QVERIFY(provider.reset());
        answer.path = "/api/shrink";
        if (server == Server::Trusted)
            QVERIFY(provider.misbehave(answer));
        const QUrl url = server == Server::PlainHttp ? QUrl(plainUrl()) : host.baseUrl();
        const auto authorities = server == Server::Untrusted
            ? QList<QSslCertificate>()
            : QSslCertificate::fromPath(host.caFile());
        // A fresh transport: TLS sessions and connections are never shared between cases.
        FWManager manager(HTTPClient(std::make_shared<NetworkTransport>(authorities),
                              answer.delay > 0ms ? 300ms : 60s),
            credentials, { url, url, url });
        const auto result = FWTest::waitFor(manager.shrink("https://example.com"));
        QVERIFY(!result);
        QTEST(result.error().kind(), "kind");
        QTEST(result.error().status(), "status");
        QCOMPARE(host.requests().size(), server == Server::Trusted ? 1 : 0);
        // The kernel queues a connection whether or not it was accepted.
        QVERIFY(!plain.waitForNewConnection(0));
        if (server == Server::Trusted) // and the next request goes through
            QVERIFY(FWTest::waitFor(manager.shrink("https://example.com")));
    }
};

QTEST_GUILESS_MAIN(FWManagerTest)
#include "FWManagerTest.moc"
