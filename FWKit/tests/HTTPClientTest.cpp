#include "FWTestSupport.h"
#include "FakeTransport.h"

#include <FWKit/HTTPClient.h>
#include <FWKit/Records.h>

#include <QTest>

using namespace FWKit;

class HTTPClientTest : public QObject
{
    Q_OBJECT

    std::shared_ptr<FWTest::FakeTransport> transport;
    std::optional<HTTPClient> client;
    const QUrl url { "https://example.test/api/shrink" };

private slots:
    void init()
    {
        transport = std::make_shared<FWTest::FakeTransport>();
        client.emplace(transport);
    }

    // Form bodies of every kind are the fuzz target's (FormBodyFuzzer); here what goes with one.
    void encodesFormBodies_data()
    {
        QTest::addColumn<HTTPClient::Fields>("fields");
        QTest::addColumn<QByteArray>("body");

        QTest::newRow("reserved characters") << HTTPClient::Fields { { "language", "c" },
            { "paste", "a b&c=d+e" } } << QByteArray("language=c&paste=a%20b%26c%3Dd%2Be");
    }

    void encodesFormBodies()
    {
        QFETCH(HTTPClient::Fields, fields);
        QFETCH(QByteArray, body);

        FWTest::waitFor(client->postFormJSON<ShrinkResult>(url, fields));
        QCOMPARE(transport->requests.size(), 1);
        const HTTPRequest &sent = transport->requests.first();
        QCOMPARE(sent.method, QByteArray("POST"));
        QCOMPARE(sent.body, std::optional(body));
        QCOMPARE(sent.header("content-type"),
            std::optional<QByteArray>("application/x-www-form-urlencoded"));
        QCOMPARE(sent.headers.size(), 1);
        QCOMPARE(sent.timeout, std::chrono::milliseconds(60'000));
    }

    void callerHeadersReplaceContentType()
    {
        FWTest::waitFor(client->postFormJSON<ShrinkResult>(
            url, {}, { { "Content-Type", "text/plain" }, { "Authorization", "Basic eDp5" } }));
        const HTTPRequest &sent = transport->requests.first();
        QCOMPARE(sent.header("Content-Type"), std::optional<QByteArray>("text/plain"));
        QCOMPARE(sent.header("Authorization"), std::optional<QByteArray>("Basic eDp5"));
        QCOMPARE(sent.headers.size(), 2);
    }

    void getCarriesNoBodyNorContentType()
    {
        FWTest::waitFor(client->getJSON<QList<QString>>(url, { { "X-Probe", "1" } }));
        const HTTPRequest &sent = transport->requests.first();
        QCOMPARE(sent.method, QByteArray("GET"));
        QVERIFY(!sent.body);
        QVERIFY(!sent.header("Content-Type"));
        QCOMPARE(sent.header("X-Probe"), std::optional<QByteArray>("1"));
    }

    void interpretsAnswers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");

        const QByteArray notice(R"({"type":"notice","url":"u"})");
        QTest::newRow("200 notice") << 200 << notice << "notice u";
        QTest::newRow("201 is not success") << 201 << notice << "httpStatus(201)";
        QTest::newRow("204") << 204 << QByteArray() << "httpStatus(204)";
        QTest::newRow("500 with JSON") << 500 << notice << "httpStatus(500)";
        QTest::newRow("200 not JSON") << 200 << QByteArray("OK") << "decoding";
        QTest::newRow("200 empty") << 200 << QByteArray() << "decoding";
        QTest::newRow("200 wrong shape") << 200 << QByteArray("[]") << "decoding";
    }

    void interpretsAnswers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);

        transport->answer(status, body);
        const auto result = FWTest::waitFor(client->postFormJSON<ShrinkResult>(url, {}));
        const QString seen = result ? result->type + ' ' + result->url.value_or("-")
            : result.error().kind() == FWError::Kind::Decoding ? QStringLiteral("decoding")
                                                               : result.error().debugDescription();
        QTEST(seen, "expected");
    }

    void passesTransportErrorsOnUnchanged()
    {
        transport->fail(FWError::notAuthenticated());
        transport->fail(FWError::transport("Connection refused"));
        QCOMPARE(FWTest::waitFor(client->getJSON<QList<Batch>>(url)).error(),
            FWError::notAuthenticated());
        QCOMPARE(FWTest::waitFor(client->getJSON<QList<Batch>>(url)).error(),
            FWError::transport("Connection refused"));
    }

    void readsTheTimeoutFromTheEnvironment_data()
    {
        QTest::addColumn<QByteArray>("value"); // null: unset
        QTest::addColumn<qint64>("expected");
        const qint64 fallback = HTTPClient::defaultTimeout.count();
        QTest::newRow("unset") << QByteArray() << fallback;
        QTest::newRow("set") << QByteArray("1500") << qint64(1500);
        QTest::newRow("zero") << QByteArray("0") << fallback;
        QTest::newRow("negative") << QByteArray("-5") << fallback;
        QTest::newRow("not a number") << QByteArray("2s") << fallback;
        QTest::newRow("beyond an int") << QByteArray("4294967296") << fallback;
    }
    void readsTheTimeoutFromTheEnvironment()
    {
        QFETCH(QByteArray, value);
        if (value.isNull())
            qunsetenv("FERROWICK_HTTP_TIMEOUT_MS");
        else
            qputenv("FERROWICK_HTTP_TIMEOUT_MS", value);
        const auto timeout = HTTPClient::timeoutFromEnvironment();
        qunsetenv("FERROWICK_HTTP_TIMEOUT_MS");
        QTEST(qint64(timeout.count()), "expected");
    }
};

QTEST_GUILESS_MAIN(HTTPClientTest)
#include "HTTPClientTest.moc"
