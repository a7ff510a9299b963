#include "FWTestSupport.h"
#include "FakeCredentialStore.h"
#include "FakeTransport.h"

#include <FWKit/FWManager.h>

#include <QTest>

using namespace FWKit;

class FWManagerTest : public QObject
{
    Q_OBJECT

    std::shared_ptr<FWTest::FakeTransport> transport;
    FWTest::FakeCredentialStore credentials;
    std::optional<FWManager> manager;
    const ServiceURLs urls { QUrl("https://shrink.test/api/"), QUrl("https://paste.test/api/"),
        QUrl("https://account.test/api/") };

    const HTTPRequest &onlyRequest()
    {
        if (transport->requests.size() != 1)
            qFatal("expected exactly one request, saw %lld", qlonglong(transport->requests.size()));
        return transport->requests.first();
    }

private slots:
    void init()
    {
        transport = std::make_shared<FWTest::FakeTransport>();
        credentials = {};
        manager.emplace(HTTPClient(transport), credentials, urls);
    }

    void shrinkPostsTheLinkEncoded()
    {
        transport->answer(200, R"({"type":"error","result":"nope"})");
        const auto result = FWTest::waitFor(manager->shrink("https://a-b.example.com/x?y=1&z=2"));
        // Any answer that decodes is handed back; judging it is the model's task.
        QCOMPARE(result.value(), (ShrinkResult { "error", std::nullopt, "nope" }));
        const HTTPRequest &sent = onlyRequest();
        QCOMPARE(sent.url, QUrl("https://shrink.test/api/shrink"));
        QCOMPARE(
            sent.body.value(), QByteArray("url=https%3A%2F%2Fa-b.example.com%2Fx%3Fy%3D1%26z%3D2"));
        QVERIFY(!sent.header("Authorization"));
        QCOMPARE(credentials.reads, 0);
    }

    void pasteSendsLanguageFirst()
    {
        FWTest::waitFor(manager->paste("x", "c"));
        QCOMPARE(onlyRequest().url, QUrl("https://paste.test/api/paste"));
        QCOMPARE(onlyRequest().body.value(), QByteArray("language=c&paste=x"));

        transport->requests.clear();
        FWTest::waitFor(manager->paste(" a\n", ""));
        QCOMPARE(onlyRequest().body.value(), QByteArray("language=&paste=%20a%0A"));
    }

    void validLanguagesIsAPlainGet()
    {
        transport->answer(200, R"(["C","Shell"])");
        QCOMPARE(FWTest::waitFor(manager->validPasteLanguages()).value(),
            (QList<QString> { "C", "Shell" }));
        QCOMPARE(onlyRequest().method, QByteArray("GET"));
        QCOMPARE(onlyRequest().url, QUrl("https://paste.test/api/valid_languages"));
    }

    void loginDefinedNeedsBoth_data()
    {
        QTest::addColumn<std::optional<QString>>("login");
        QTest::addColumn<std::optional<QString>>("password");
        QTest::addColumn<bool>("defined");

        using S = std::optional<QString>;
        QTest::newRow("both") << S("me") << S("pw") << true;
        QTest::newRow("login only") << S("me") << S() << false;
        QTest::newRow("password only") << S() << S("pw") << false;
        QTest::newRow("empty password") << S("me") << S("") << false;
        QTest::newRow("space counts") << S(" ") << S(" ") << true;
    }

    void loginDefinedNeedsBoth()
    {
        QFETCH(std::optional<QString>, login);
        QFETCH(std::optional<QString>, password);
        QFETCH(bool, defined);

        credentials.storedLogin = login;
        credentials.storedPassword = password;
        QCOMPARE(FWTest::waitFor(manager->isLoginDefined()), defined);
        if (!defined) {
            QCOMPARE(FWTest::waitFor(manager->authenticate()).error(), FWError::notAuthenticated());
            QCOMPARE(FWTest::waitFor(manager->batches()).error(), FWError::notAuthenticated());
        }
        QVERIFY(transport->requests.isEmpty());
    }

    void authenticateSendsCredentialsTwice()
    {
        credentials.storedLogin = "zoë";
        credentials.storedPassword = "pa:ss word";
        transport->answer(200, R"({"type":"notice"})");
        QCOMPARE(FWTest::waitFor(manager->authenticate()).value().type, QString("notice"));

        const HTTPRequest &sent = onlyRequest();
        QCOMPARE(sent.url, QUrl("https://account.test/api/authenticate"));
        QCOMPARE(sent.header("Authorization").value(),
            "Basic " + QByteArray("zoë:pa:ss word").toBase64());
        QCOMPARE(sent.body.value(), QByteArray("login=zo%C3%AB&password=pa%3Ass%20word"));
    }

    void batchesPutTheLoginInOnePathSegment_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QByteArray>("path");

        QTest::newRow("plain") << "jane-doe.99" << QByteArray("/api/list/jane-doe.99");
        QTest::newRow("space") << "jane doe" << QByteArray("/api/list/jane%20doe");
        QTest::newRow("slash") << "a/b" << QByteArray("/api/list/a%2Fb");
        QTest::newRow("dots inside") << "a/.." << QByteArray("/api/list/a%2F..");
        QTest::newRow("query and fragment") << "a?b#c" << QByteArray("/api/list/a%3Fb%23c");
        QTest::newRow("percent") << "100%" << QByteArray("/api/list/100%25");
        QTest::newRow("non-ASCII") << "zoë" << QByteArray("/api/list/zo%C3%AB");
    }

    void batchesPutTheLoginInOnePathSegment()
    {
        QFETCH(QString, login);
        QFETCH(QByteArray, path);

        credentials.storedLogin = login;
        credentials.storedPassword = "secret";
        transport->answer(200, R"([{"batch":"one"}])");
        QCOMPARE(FWTest::waitFor(manager->batches()).value(), (QList<Batch> { { "one" } }));

        const HTTPRequest &sent = onlyRequest();
        QCOMPARE(sent.method, QByteArray("GET"));
        QCOMPARE(sent.url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority), path);
        QCOMPARE(sent.url.host(), QString("account.test"));
        QVERIFY(!sent.body);
        QVERIFY(!sent.url.toEncoded().contains("secret"));
    }

    void batchesRefuseDotSegmentLogins()
    {
        credentials.storedPassword = "secret";
        for (const QString login : { ".", ".." }) {
            credentials.storedLogin = login;
            QCOMPARE(FWTest::waitFor(manager->batches()).error().kind(), FWError::Kind::Validation);
        }
        QVERIFY(transport->requests.isEmpty());
    }

    void operationsDoNotWaitForEachOther()
    {
        transport->heldPathSuffix = "/shrink";
        transport->answer(200, R"({"type":"notice","url":"s"})");
        transport->answer(200, R"(["C"])");

        auto shrink = manager->shrink("https://x.test");
        QCOMPARE(FWTest::waitFor(manager->validPasteLanguages()).value(), QList<QString> { "C" });
        QVERIFY(!shrink.isReady());
        QTimer::singleShot(0, &transport->gate, &FWTest::Gate::open);
        QCOMPARE(FWTest::waitFor(std::move(shrink)).value().url, std::optional<QString>("s"));
    }
};

QTEST_GUILESS_MAIN(FWManagerTest)
#include "FWManagerTest.moc"
