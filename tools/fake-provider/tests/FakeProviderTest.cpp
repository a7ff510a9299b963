// Checks of the fake provider that the client tests do not make: what it serves back, how the
// account options and the percent-encoded login reach it, misbehaviours, certificates, shutdown.

#include "FakeProviderProcess.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using FWTest::FakeProviderProcess;
using FWTest::Misbehaviour;
using FWTest::ProviderAnswer;
using FWTest::RawHeader;

namespace {

const QList<RawHeader> formHeaders { { "Content-Type", "application/x-www-form-urlencoded" } };

QJsonObject jsonObject(const QByteArray &body)
{
    return QJsonDocument::fromJson(body).object();
}

QUrl endpoint(const FakeProviderProcess &provider, const QString &name)
{
    return provider.baseUrl().resolved(QUrl(name));
}

} // namespace

class FakeProviderTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_provider = std::make_unique<FakeProviderProcess>();
        QVERIFY(m_provider->start({ .accounts = {
                                        { "alice", "s:cret", { "one", "two,three", "Ünï code" } },
                                        { "a/b c", "pw", {} },
                                        { "x?y", "pw", {} },
                                    } }));
    }

    void cleanup() { QVERIFY(m_provider->stop()); }

    void shortLinkRedirectsToTheLongLink()
    {
        const QString link = "https://example.com/a/b?q=1&r=%C3%A9#frag";
        const ProviderAnswer shrunk = m_provider->send("POST", endpoint(*m_provider, "shrink"),
            "url=" + QUrl::toPercentEncoding(link), formHeaders);
        QCOMPARE(shrunk.status, 200);
        const QJsonObject result = jsonObject(shrunk.body);
        QCOMPARE(result.value("type").toString(), "notice");
        const QUrl shortLink(result.value("url").toString());
        QVERIFY(shortLink.toString().startsWith(m_provider->origin().toString() + "/s/"));

        const ProviderAnswer followed = m_provider->send("GET", shortLink);
        QCOMPARE(followed.status, 301);
        QCOMPARE(followed.header("Location"), link.toUtf8());
    }

    void pasteIsServedByteForByte()
    {
        const QByteArray text = "int main()\r\n{ return 1+2 & 3; } // é 😀 \0 =\n  "_ba;
        const ProviderAnswer pasted = m_provider->send("POST", endpoint(*m_provider, "paste"),
            "language=C%2B%2B&paste=" + QUrl::toPercentEncoding(QString::fromUtf8(text)),
            formHeaders);
        const QJsonObject result = jsonObject(pasted.body);
        QCOMPARE(result.value("type").toString(), "notice");

        const ProviderAnswer served = m_provider->send("GET", QUrl(result.value("url").toString()));
        QCOMPARE(served.status, 200);
        QCOMPARE(served.header("Content-Type"), "text/plain; charset=utf-8");
        QCOMPARE(served.body, text);
    }

    void authenticate_data()
    {
        QTest::addColumn<QByteArray>("authorization");
        QTest::addColumn<QByteArray>("form");
        QTest::addColumn<QString>("type");

        const QByteArray basic = "Basic " + QByteArray("alice:s:cret").toBase64();
        const QByteArray form = "login=alice&password=s%3Acret";
        QTest::newRow("header and form agree") << basic << form << "notice";
        QTest::newRow("no header") << QByteArray() << form << "error";
        QTest::newRow("form differs") << basic << QByteArray("login=alice&password=s") << "error";
        QTest::newRow("wrong password in both") << "Basic " + QByteArray("alice:s").toBase64()
                                                << QByteArray("login=alice&password=s") << "error";
    }

    void authenticate()
    {
        QFETCH(QByteArray, authorization);
        QFETCH(QByteArray, form);
        QFETCH(QString, type);

        QList<RawHeader> headers = formHeaders;
        if (!authorization.isNull())
            headers.append({ "Authorization", authorization });
        const ProviderAnswer answer =
            m_provider->send("POST", endpoint(*m_provider, "authenticate"), form, headers);
        QCOMPARE(answer.status, 200);
        QCOMPARE(jsonObject(answer.body).value("type").toString(), type);
    }

    void batchListTakesTheLoginAsOneSegment_data()
    {
        QTest::addColumn<QByteArray>("segment");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");

        QTest::newRow("batch names kept whole")
            << QByteArray("alice") << 200
            << QByteArray(R"([{"batch":"one"},{"batch":"two,three"},{"batch":"Ünï code"}])");
        QTest::newRow("encoded slash and space")
            << QByteArray("a%2Fb%20c") << 200 << QByteArray("[]");
        QTest::newRow("encoded question mark") << QByteArray("x%3Fy") << 200 << QByteArray("[]");
        QTest::newRow("bare slash is two segments")
            << QByteArray("a/b%20c") << 404 << QByteArray("Not Found\n");
        QTest::newRow("unknown login") << QByteArray("bob") << 404
                                       << QByteArray(R"({"result":"No such user","type":"error"})");
    }

    void batchListTakesTheLoginAsOneSegment()
    {
        QFETCH(QByteArray, segment);
        QFETCH(int, status);
        QFETCH(QByteArray, body);

        const QByteArray target = "/api/list/" + segment;
        const ProviderAnswer answer =
            m_provider->send("GET", QUrl::fromEncoded(m_provider->origin().toEncoded() + target));
        QCOMPARE(answer.status, status);
        QCOMPARE(answer.body, body);
        const auto requests = m_provider->requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.first().target, target);
    }

    void malformedFormEscapeIsABadRequest_data()
    {
        QTest::addColumn<QByteArray>("form");

        QTest::newRow("in a value") << QByteArray("url=http%3A%2F%2Fexample.com%zz");
        QTest::newRow("cut short at the end") << QByteArray("url=http%3A%2F%2Fexample.com%4");
        QTest::newRow("in a name") << QByteArray("%u0075rl=http%3A%2F%2Fexample.com");
    }

    void malformedFormEscapeIsABadRequest()
    {
        QFETCH(QByteArray, form);

        const ProviderAnswer answer =
            m_provider->send("POST", endpoint(*m_provider, "shrink"), form, formHeaders);
        QCOMPARE(answer.status, 400);
        QCOMPARE(jsonObject(answer.body).value("type").toString(), "error");
    }

    void recordShowsTheBodyAsText_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QJsonValue>("text");

        QTest::newRow("UTF-8, byte order mark kept")
            << "\xEF\xBB\xBF\xC3\xA9\0\x7F"_ba << QJsonValue(u"\uFEFF\u00E9\u0000\u007F"_s);
        QTest::newRow("invalid byte") << "a\xFF"_ba << QJsonValue();
        QTest::newRow("encoded surrogate") << "\xED\xA0\x80"_ba << QJsonValue();
        QTest::newRow("cut sequence") << "\xE2\x82"_ba << QJsonValue();
    }

    void recordShowsTheBodyAsText()
    {
        QFETCH(QByteArray, body);
        QFETCH(QJsonValue, text);

        m_provider->send(
            "POST", endpoint(*m_provider, "nothing"), body, { { "Content-Type", "text/plain" } });
        const auto recorded = QJsonDocument::fromJson(
            m_provider->send("GET", m_provider->origin().resolved(QUrl("/_fake/requests"))).body)
                                  .array();
        QCOMPARE(recorded.size(), 1);
        QCOMPARE(recorded.first()["body"], text);
        QCOMPARE(m_provider->requests().first().body, body);
    }

    void misbehaveRefusesWhatItDoesNotUnderstand_data()
    {
        QTest::addColumn<QByteArray>("json");

        QTest::newRow("not JSON") << QByteArray(R"({"path":)");
        QTest::newRow("text after the object") << QByteArray(R"({"path":"/x"} x)");
        QTest::newRow("not an object") << QByteArray(R"(["/x"])");
        QTest::newRow("no path") << QByteArray("{}");
        QTest::newRow("unknown key") << QByteArray(R"({"path":"/x","paths":"/y"})");
        QTest::newRow("null") << QByteArray(R"({"path":"/x","status":null})");
        QTest::newRow("string for a number") << QByteArray(R"({"path":"/x","count":"2"})");
        QTest::newRow("fraction") << QByteArray(R"({"path":"/x","delayMs":1.5})");
        QTest::newRow("beyond 64 bits")
            << QByteArray(R"({"path":"/x","count":18446744073709551616})");
        QTest::newRow("nested") << QByteArray(R"({"path":"/x","body":{"a":1}})");
        QTest::newRow("invalid UTF-8") << "{\"path\":\"/x\",\"body\":\"\xFF\"}"_ba;
        QTest::newRow("unpadded Base64") << QByteArray(R"({"path":"/x","bodyBase64":"YQ"})");
        QTest::newRow("delay past the clock's range")
            << QByteArray(R"({"path":"/x","delayMs":9223372036854775807})");
    }

    void misbehaveRefusesWhatItDoesNotUnderstand()
    {
        QFETCH(QByteArray, json);

        const ProviderAnswer answer =
            m_provider->send("POST", m_provider->origin().resolved(QUrl("/_fake/misbehave")), json,
                { { "Content-Type", "application/json" } });
        QCOMPARE(answer.status, 400);
        QVERIFY(!jsonObject(answer.body).value("error").toString().isEmpty());
    }

    void misbehaviourAnswersTheNextRequestsOnly_data()
    {
        QTest::addColumn<Misbehaviour>("misbehaviour");
        QTest::addColumn<int>("status");
        QTest::addColumn<QNetworkReply::NetworkError>("error");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("location");

        const QString path = "/api/valid_languages";
        QTest::newRow("status and body") << Misbehaviour { .path = path,
            .count = 2,
            .status = 502,
            .body = "<h1>Bad</h1>",
            .contentType = "text/html" } << 502
                                         << QNetworkReply::UnknownServerError
                                         << QByteArray("<h1>Bad</h1>") << QByteArray();
        QTest::newRow("redirect to plain http")
            << Misbehaviour { .path = path, .location = "http://127.0.0.1:9/x" } << 302
            << QNetworkReply::NoError << QByteArray() << QByteArray("http://127.0.0.1:9/x");
        // Qt resends a dropped request a few times on its own: drop them all, until the reset.
        QTest::newRow("dropped connection")
            << Misbehaviour { .path = path, .count = 0, .close = true } << 0
            << QNetworkReply::RemoteHostClosedError << QByteArray() << QByteArray();
    }

    void misbehaviourAnswersTheNextRequestsOnly()
    {
        QFETCH(Misbehaviour, misbehaviour);
        QFETCH(int, status);
        QFETCH(QNetworkReply::NetworkError, error);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, location);

        const QUrl url = endpoint(*m_provider, "valid_languages");
        QCOMPARE(m_provider->send("GET", url).status, 200); // a connection to reuse
        QVERIFY(m_provider->misbehave(misbehaviour));
        for (int i = 0; i < std::max(misbehaviour.count, 1); ++i) {
            const ProviderAnswer answer = m_provider->send("GET", url);
            QCOMPARE(answer.status, status);
            QCOMPARE(answer.error, error);
            QCOMPARE(answer.body, body);
            QCOMPARE(answer.header("Location"), location);
        }
        if (misbehaviour.count == 0)
            QVERIFY(m_provider->reset());
        QCOMPARE(m_provider->send("GET", url).status, 200);
    }

    void wrongHostCertificateIsTrustedButMismatched()
    {
        FakeProviderProcess provider;
        QVERIFY(provider.start({ .certificate = FWTest::ProviderCertificate::WrongHost }));

        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        QVERIFY(ssl.addCaCertificates(provider.caFile()));
        QNetworkRequest request(endpoint(provider, "valid_languages"));
        request.setSslConfiguration(ssl);
        QNetworkAccessManager network;
        std::unique_ptr<QNetworkReply> reply(network.get(request));
        QSignalSpy sslErrors(reply.get(), &QNetworkReply::sslErrors);
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        QVERIFY(finished.wait(10'000));
        QCOMPARE(reply->error(), QNetworkReply::SslHandshakeFailedError);
        QCOMPARE(sslErrors.size(), 1);
        const auto errors = sslErrors.first().first().value<QList<QSslError>>();
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first().error(), QSslError::HostNameMismatch);

        QVERIFY(provider.reset()); // its own control calls still get through
    }

    void stalledAnswerEndsWhenTheProviderStops()
    {
        QVERIFY(m_provider->misbehave({ .path = "/api/valid_languages", .delay = 10min }));
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        QVERIFY(ssl.addCaCertificates(m_provider->caFile()));
        QNetworkRequest request(endpoint(*m_provider, "valid_languages"));
        request.setSslConfiguration(ssl);
        QNetworkAccessManager network;
        std::unique_ptr<QNetworkReply> reply(network.get(request));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);

        // Each look at the record runs the event loop, which lets the request go out.
        const QDeadlineTimer deadline(10s);
        while (m_provider->requests().isEmpty())
            QVERIFY(!deadline.hasExpired());

        QVERIFY(m_provider->stop()); // in time, cleanly, while our connection stays open
        QVERIFY(finished.wait(10'000));
        QVERIFY(reply->error() != QNetworkReply::NoError);
        QVERIFY(m_provider->start());
    }

private:
    std::unique_ptr<FakeProviderProcess> m_provider;
};

QTEST_GUILESS_MAIN(FakeProviderTest)
#include "FakeProviderTest.moc"
