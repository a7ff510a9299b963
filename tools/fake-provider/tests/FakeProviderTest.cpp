// What the client tests take on trust from the provider and do not check themselves: exact answers
// and records, misbehaviours applied and refused as documented, a prompt stop.

#include "FakeProviderProcess.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

class FakeProviderTest : public QObject
{
    Q_OBJECT

    FWTest::FakeProviderProcess provider;

    // A GET without a body, else a form POST; the target goes out exactly as given.
    FWTest::ProviderAnswer send(const QByteArray &target, const QByteArray &body = {})
    {
        const QUrl url = QUrl::fromEncoded(provider.origin().toEncoded() + target);
        if (body.isEmpty())
            return provider.send("GET", url);
        return provider.send(
            "POST", url, body, { { "Content-Type", "application/x-www-form-urlencoded" } });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(provider.start({ .accounts = { { "alice", "pw", { "one", "two,three", "Ünï" } },
                                     { "a/b c", "pw", {} } } }));
    }

    void init() { QVERIFY(provider.reset()); }

    void cleanupTestCase() { QVERIFY(provider.stop()); }

    void postedContentIsServedBackExactly()
    {
        const QString link = "https://example.com/a/b?q=1&r=%C3%A9#frag";
        const QByteArray text = "int main()\r\n{ return 1+2 & 3; } // é 😀 \0 =\n  "_ba;
        const auto follow = [this](const QByteArray &target, const QByteArray &form) {
            const auto posted = QJsonDocument::fromJson(send(target, form).body).object();
            return provider.send("GET", QUrl(posted.value("url").toString()));
        };

        const auto redirect = follow("/api/shrink", "url=" + QUrl::toPercentEncoding(link));
        QCOMPARE(redirect.status, 301);
        QCOMPARE(redirect.header("Location"), link.toUtf8());
        const auto paste = follow("/api/paste",
            "language=C%2B%2B&paste=" + QUrl::toPercentEncoding(QString::fromUtf8(text)));
        QCOMPARE(paste.body, text);
    }

    void requestIsAnsweredAndRecordedAsSent_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("body"); // none: GET, else POST
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("answer");

        const QByteArray batches = R"([{"batch":"one"},{"batch":"two,three"},{"batch":"Ünï"}])";
        const QByteArray none, notFound = "Not Found\n", notUtf8 = "\xFF\0\xED\xA0\x80"_ba;
        QTest::newRow("batch names") << "/api/list/alice"_ba << none << 200 << batches;
        QTest::newRow("bare slash") << "/api/list/a/b%20c"_ba << none << 404 << notFound;
        QTest::newRow("not UTF-8") << "/x?a=%26&b"_ba << notUtf8 << 404 << notFound;
    }

    void requestIsAnsweredAndRecordedAsSent()
    {
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QByteArray, answer);

        const auto answered = send(target, body);
        QCOMPARE(answered.status, status);
        QCOMPARE(answered.body, answer);
        const auto requests = provider.requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.first().target, target);
        QCOMPARE(requests.first().body, body);
    }

    void misbehavioursApplyInTurnUntilReset()
    {
        const QByteArray path = "/api/valid_languages";
        QVERIFY(provider.misbehave({ .path = path, .count = 2, .status = 503 }));
        QVERIFY(provider.misbehave({ .path = path, .count = 0, .status = 418 }));
        for (const int status : { 503, 503, 418, 418 })
            QCOMPARE(send(path).status, status);
        QVERIFY(provider.reset()); // forgets the record and what is still pending
        QVERIFY(provider.requests().isEmpty());
        QCOMPARE(send(path).status, 200);
    }

    void appcastIsConfigurableUntilReset()
    {
        const auto feed = [this] { return provider.send("GET", provider.appcastUrl()); };
        const QByteArray origin = provider.origin().toEncoded();
        const auto standard = feed();
        QCOMPARE(standard.status, 200);
        QCOMPARE(standard.header("Content-Type"), "application/rss+xml"_ba);
        QVERIFY(standard.body.contains("sparkle:version=\"1.0.0\""));
        QVERIFY(standard.body.contains("url=\"" + origin + "/downloads/Ferrowick-1.0.0.tar.xz\""));

        QVERIFY(provider.setAppcast("<rss>{origin}/a {origin}/b</rss>"));
        QCOMPARE(feed().body, "<rss>" + origin + "/a " + origin + "/b</rss>");
        QVERIFY(provider.reset());
        QCOMPARE(feed().body, standard.body);
    }

    void misbehaveRefusesWhatItDoesNotUnderstand_data()
    {
        QTest::addColumn<QByteArray>("json");

        QTest::newRow("not JSON") << R"({"path":)"_ba;
        QTest::newRow("no path") << R"({"count":1})"_ba;
        QTest::newRow("unknown key") << R"({"path":"/x","paths":"/y"})"_ba;
        QTest::newRow("string for a number") << R"({"path":"/x","count":"2"})"_ba;
        QTest::newRow("not UTF-8") << "{\"path\":\"/x\",\"body\":\"\xFF\"}"_ba;
        QTest::newRow("unpadded Base64") << R"({"path":"/x","bodyBase64":"YQ"})"_ba;
        QTest::newRow("delay over a day") << R"({"path":"/x","delayMs":86400001})"_ba;
    }

    void misbehaveRefusesWhatItDoesNotUnderstand()
    {
        QFETCH(QByteArray, json);

        const auto answer = send("/_fake/misbehave", json);
        QCOMPARE(answer.status, 400);
        QVERIFY(!QJsonDocument::fromJson(answer.body).object().value("error").toString().isEmpty());
    }

    void stalledAnswerEndsWhenTheProviderStops()
    {
        FWTest::FakeProviderProcess stalling;
        QVERIFY(stalling.start());
        QVERIFY(stalling.misbehave({ .path = "/api/valid_languages", .delay = 10min }));
        QNetworkAccessManager network;
        const QUrl languages = stalling.baseUrl().resolved(QUrl("valid_languages"));
        std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(languages)));
        reply->ignoreSslErrors(); // only the stop is under test
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);

        // Each look at the record runs the event loop, which lets the request go out.
        const QDeadlineTimer deadline(10s);
        while (stalling.requests().isEmpty())
            QVERIFY(!deadline.hasExpired());
        QVERIFY(stalling.stop()); // cleanly and in time, though our connection stays open
        QVERIFY(finished.wait(10'000));
        QCOMPARE_NE(reply->error(), QNetworkReply::NoError);
    }

    // A provider that comes back where clients look, with the certificate they already trust.
    void restartKeepsPortAndCertificate()
    {
        FWTest::FakeProviderProcess restarted;
        QVERIFY(restarted.start());
        const QUrl origin = restarted.origin();
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        QVERIFY(ssl.addCaCertificates(restarted.caFile()));
        QVERIFY(restarted.stop());
        // Its own files, which this start replaces.
        QVERIFY(restarted.start(
            { .certificateFiles = restarted.certificateFiles(), .port = quint16(origin.port()) }));
        QCOMPARE(restarted.origin(), origin);

        QNetworkAccessManager network;
        QNetworkRequest request(restarted.baseUrl().resolved(QUrl("valid_languages")));
        request.setSslConfiguration(ssl);
        std::unique_ptr<QNetworkReply> reply(network.get(request));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        QVERIFY(finished.wait(10'000));
        QCOMPARE(reply->error(), QNetworkReply::NoError);
    }
};

QTEST_GUILESS_MAIN(FakeProviderTest)
#include "FakeProviderTest.moc"
