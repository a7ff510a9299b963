#include "E2E.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace E2E;

// The commands for scripts, run as a script runs them: no display of any kind, the provider on
// loopback, the credentials in the harness's keyring (none at first). Its cases in this order.
class CommandLineTest : public QObject
{
    Q_OBJECT

    struct Finished
    {
        int status = -1; // also for a crash, a hang or a secret in the output
        QByteArray output;
        QByteArray errors;
    };

    Finished ferrowick(const QStringList &arguments, const QByteArray &input = {})
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(m_provider.serviceEnvironment());
        environment.remove(u"DISPLAY"_s);
        environment.remove(u"WAYLAND_DISPLAY"_s);
        process.setProcessEnvironment(environment);
        process.start(QString::fromUtf8(FERROWICK_APP), arguments);
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(patienceMs) || process.exitStatus() != QProcess::NormalExit)
            return {};
        Finished finished { process.exitCode(), process.readAllStandardOutput(),
            process.readAllStandardError() };
        for (const QByteArray &secret : secrets.keys())
            if (finished.output.contains(secret) || finished.errors.contains(secret))
                finished.status = -1;
        return finished;
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariable("FERROWICK_HARNESS") != u"1"_s)
            QSKIP("only in the headless harness: never the user's keyring");
        QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s,
                                       { u"holiday-photos"_s, u"scans"_s } } } }));
    }

    void withoutCredentials()
    {
        const Finished batches = ferrowick({ u"batches"_s });
        QCOMPARE(batches.status, 3);
        QVERIFY2(batches.errors.contains("No login and password are stored"), batches.errors);
        QVERIFY(batches.output.isEmpty());
        QVERIFY(m_provider.requests().isEmpty());
    }

    // A bad link is told of and never sent; the good one is shrunk all the same.
    void shrinksEachLink()
    {
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
        const Finished shrink =
            ferrowick({ u"shrink"_s, u"https://example.com/a?q=1"_s, u"example.com"_s });
        QCOMPARE(shrink.status, 1);
        QVERIFY2(shrink.output.startsWith(m_provider.origin().toEncoded() + "/s/") &&
                shrink.output.count('\n') == 1,
            shrink.output);
        QVERIFY2(shrink.errors.contains("example.com: You do not have a valid URL"), shrink.errors);
        QCOMPARE(m_provider.requests().size(), 1);
        QCOMPARE(requestBody(m_provider, u"/api/shrink"_s),
            QByteArray("url=https%3A%2F%2Fexample.com%2Fa%3Fq%3D1"));
    }

    // Standard input in the service's first language; the text is sent, never logged.
    void pastesStandardInputAsJson()
    {
        const QByteArray text = "print('from a script')\n";
        const Finished paste = ferrowick({ u"paste"_s, u"--json"_s }, text);
        QCOMPARE(paste.status, 0);
        const QJsonArray document = QJsonDocument::fromJson(paste.output).array();
        QCOMPARE(document.size(), 1);
        QCOMPARE(document.at(0)[u"input"_s].toString(), u"-"_s);
        QVERIFY2(document.at(0)[u"url"_s].toString().startsWith(
                     m_provider.origin().toString() + u"/p/"_s),
            paste.output);
        QCOMPARE(requestBody(m_provider, u"/api/paste"_s),
            "language=Plain%20Text&paste=" + QUrl::toPercentEncoding(QString::fromUtf8(text)));
        QVERIFY(!readAll(logFile).contains(text.trimmed()));
    }

    void listsBatches()
    {
        const Finished batches = ferrowick({ u"batches"_s });
        QCOMPARE(batches.status, 0);
        QCOMPARE(batches.output, QByteArray("holiday-photos\nscans\n"));
        QVERIFY(batches.errors.isEmpty());
    }

private:
    FWTest::FakeProviderProcess m_provider;
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
