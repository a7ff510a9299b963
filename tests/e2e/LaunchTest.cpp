#include "E2E.h"

#include <QSettings>

using namespace E2E;

// What the program does at launch with the credentials it finds, and when it is started twice.
class LaunchTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!inHarness())
            QSKIP("only in the headless harness: never the user's keyring or display");
        QVERIFY(m_provider.start(
            { .accounts = { { u"demo"_s, u"demo-password-1"_s, { u"scans"_s } } } }));
    }

    void init()
    {
        QVERIFY(resetDesktop());
        QVERIFY(m_provider.reset());
    }

    // Without credentials the settings window asks for them and nothing polls the account.
    void emptyKeyringOpensSettings()
    {
        App app(m_provider);
        QVERIFY(app.start());
        QCOMPARE(
            messagesStartingWith(u"launch: "_s), QStringList { u"launch: hasCredentials=false"_s });
        QVERIFY2(waitForWindow(u"Ferrowick Settings"_s), logDump());
        // The languages are asked for after the batches would have been.
        QVERIFY(waitForRequest(m_provider, u"GET /api/valid_languages"_s));
        QCOMPARE(apiRequests(m_provider), QStringList { u"GET /api/valid_languages"_s });
        QVERIFY(app.stop());
    }

    void storedCredentialsLoadTheBatches()
    {
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
        App app(m_provider);
        QVERIFY(app.start());
        QCOMPARE(
            messagesStartingWith(u"launch: "_s), QStringList { u"launch: hasCredentials=true"_s });
        QVERIFY(waitForRequest(m_provider, u"GET /api/valid_languages"_s));
        QCOMPARE(apiRequests(m_provider),
            (QStringList { u"GET /api/list/demo"_s, u"GET /api/valid_languages"_s }));
        QVERIFY(visibleWindows({ u"--name"_s, u"^Ferrowick Settings$"_s }).isEmpty());
        QVERIFY(app.stop());
    }

    // An older version kept the credentials in the preferences file.
    void legacyPreferencesMoveToTheKeyring()
    {
        {
            QSettings legacy(preferencesFile(), QSettings::NativeFormat);
            legacy.setValue(u"login"_s, u"demo"_s);
            legacy.setValue(u"password"_s, u"demo-password-1"_s);
            legacy.sync();
            QCOMPARE(legacy.status(), QSettings::NoError);
        }
        App app(m_provider);
        QVERIFY(app.start());
        QCOMPARE(
            messagesStartingWith(u"launch: "_s), QStringList { u"launch: hasCredentials=true"_s });
        QCOMPARE(lookupSecret(u"login"_s), std::optional(QByteArray("demo")));
        QCOMPARE(lookupSecret(u"password"_s), std::optional(QByteArray("demo-password-1")));
        QFile file(preferencesFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray left = file.readAll();
        QVERIFY2(!left.contains("login") && !left.contains("demo-password-1"), left);
        QVERIFY(waitForRequest(m_provider, u"GET /api/list/demo"_s));
        QVERIFY(app.stop());
    }

    void secondStartOpensTheSettingsOfTheFirst()
    {
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
        App app(m_provider);
        QVERIFY(app.start());
        QVERIFY(visibleWindows({ u"--name"_s, u"^Ferrowick Settings$"_s }).isEmpty());

        QProcess second;
        second.setProcessEnvironment(app.environment());
        second.setProcessChannelMode(QProcess::ForwardedChannels);
        second.start(App::program(), {});
        QVERIFY(second.waitForFinished(10'000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        QVERIFY2(waitForLog(u"second start: asked the running Ferrowick to open its settings"_s),
            logDump());
        QVERIFY2(waitForWindow(u"Ferrowick Settings"_s), logDump());
        QCOMPARE(messagesStartingWith(u"launch: "_s).size(), 1);
        QCOMPARE(app.process().state(), QProcess::Running);
        QVERIFY(app.stop());
    }

private:
    FWTest::FakeProviderProcess m_provider;
};

QTEST_GUILESS_MAIN(LaunchTest)
#include "LaunchTest.moc"
