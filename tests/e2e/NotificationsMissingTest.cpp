#include "E2E.h"

using namespace E2E;

// A desktop without a notification server, where every notice is a modal alert.
class NotificationsMissingTest : public QObject
{
    Q_OBJECT

private slots:
    // A session's end while an alert waits for the user: its nested event loop must not keep the
    // program from quitting cleanly.
    void quitsWhileAnAlertIsUp()
    {
        if (qEnvironmentVariable("FERROWICK_NOTIFICATIONS") != u"none"_s)
            QSKIP(
                "needs the harness's desktop without a notification server (--notifications=none)");
        FWTest::FakeProviderProcess provider;
        QVERIFY(provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s, {} } } }));
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
        App app(provider);
        QVERIFY(app.start());
        ClipboardOwner owner;
        QVERIFY(owner.set("not a link"));
        QVERIFY(pressKeys({ shrinkKeys }));
        QVERIFY2(waitForWindows(u"Ferrowick"_s, 1), logDump());
        QVERIFY(app.stop());
    }
};

QTEST_GUILESS_MAIN(NotificationsMissingTest)
#include "NotificationsMissingTest.moc"
