#include "E2E.h"

#include <QSettings>

using namespace E2E;

namespace {

QByteArray preferencesBytes()
{
    QFile file(preferencesFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// A desktop without a Secret Service: nothing reads as stored, a save says it failed, and the
// program goes on working without credentials.
class KeyringMissingTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!inHarness())
            QSKIP("only in the headless harness: never the user's keyring or display");
        if (qEnvironmentVariable("FERROWICK_KEYRING") != u"none"_s)
            QSKIP("needs a desktop without a Secret Service (scripts/headless --no-keyring)");
        QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s, {} } } }));
    }

    void init()
    {
        QVERIFY(m_provider.reset());
        QVERIFY(clearNotices());
        QVERIFY(
            QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + u"/Ferrowick"_s).removeRecursively());
        QVERIFY(QDir(qEnvironmentVariable("XDG_STATE_HOME") + u"/Ferrowick"_s).removeRecursively());
    }

    // The window opens by itself; saving from it shows the pane's failure line and keeps the window
    // open, and a shrink (which needs no account) still works.
    void saveReportsTheMissingKeyring()
    {
        App app(m_provider);
        QVERIFY(app.start());
        QCOMPARE(
            messagesStartingWith(u"launch: "_s), QStringList { u"launch: hasCredentials=false"_s });
        QVERIFY2(saveIsRefused(m_x, u"demo"_s, u"demo-password-1"_s), logDump());
        QVERIFY(!apiRequests(m_provider).contains(u"GET /api/list/demo"_s));

        ClipboardOwner owner;
        QVERIFY(shrinks(m_provider, owner));
        QVERIFY(app.stop());
    }

    // Credentials an older version kept in the preferences cannot move to a keyring that is not
    // there: they stay where they are, byte for byte.
    void legacyCredentialsStayInThePreferences()
    {
        {
            QSettings preferences(preferencesFile(), QSettings::NativeFormat);
            preferences.setValue(u"login"_s, u"demo"_s);
            // Not a secret the audit knows: it is the user's own old storage, kept on purpose.
            preferences.setValue(u"password"_s, u"legacy-password"_s);
            preferences.sync();
            QCOMPARE(preferences.status(), QSettings::NoError);
        }
        const QByteArray before = preferencesBytes();
        App app(m_provider);
        QVERIFY(app.start());
        QCOMPARE(
            messagesStartingWith(u"launch: "_s), QStringList { u"launch: hasCredentials=false"_s });
        QCOMPARE(preferencesBytes(), before);
        ClipboardOwner owner;
        QVERIFY(shrinks(m_provider, owner));
        QVERIFY(app.stop());
        QCOMPARE(preferencesBytes(), before);
    }

private:
    FWTest::FakeProviderProcess m_provider;
    XClient m_x;
};

QTEST_GUILESS_MAIN(KeyringMissingTest)
#include "KeyringMissingTest.moc"
