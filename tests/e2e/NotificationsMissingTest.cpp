#include "E2E.h"

using namespace E2E;

namespace {

// The alert's window: a message box titled with the program's name.
} // namespace

// A desktop without a notification server: every notice becomes a modal alert, one at a time, and
// the program goes on working once it is dismissed.
class NotificationsMissingTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!inHarness())
            QSKIP("only in the headless harness: never the user's clipboard or display");
        if (qEnvironmentVariable("FERROWICK_NOTIFICATIONS") != u"none"_s)
            QSKIP("needs a desktop without a notification server (--notifications=none)");
        QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s, {} } } }));
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
    }

    // A fresh log: App::start() waits for lines of the start.
    void init()
    {
        QVERIFY(m_provider.reset());
        QVERIFY(QDir(qEnvironmentVariable("XDG_STATE_HOME") + u"/Ferrowick"_s).removeRecursively());
    }

    void failuresShowOneAlertAtATime()
    {
        App app(m_provider);
        QVERIFY(app.start());
        QVERIFY2(
            messagesStartingWith(u"notification authorization granted=false error="_s).size() == 1,
            logDump());
        QVERIFY(m_provider.misbehave({ .path = u"/api/shrink"_s, .count = 0, .status = 500 }));
        ClipboardOwner owner;
        QVERIFY(owner.set("https://example.com/first"));

        QVERIFY(pressKeys({ u"ctrl+alt+shift+s"_s }));
        QVERIFY2(waitForWindow(alertTitle), logDump());
        const QString alert = windowsTitled(alertTitle).constFirst();
        QCOMPARE(messagesStartingWith(u"newShrink outcome: "_s),
            QStringList {
                u"newShrink outcome: failed(message: There was an issue contacting the API)"_s });

        // A second failure while the first alert is up: its alert is dropped, not queued.
        QVERIFY(pressKeys({ u"ctrl+alt+shift+s"_s }));
        QVERIFY2(waitForLog(u"alert suppressed, another in flight"_s), logDump());
        QCOMPARE(messagesStartingWith(u"newShrink outcome: "_s).size(), 2);
        QCOMPARE(windowsTitled(alertTitle), QStringList { alert });
        QCOMPARE(QString::fromUtf8(clipboard()), u"https://example.com/first"_s);

        QVERIFY(dismissAlert(alert));
        QVERIFY(m_provider.reset());
        QVERIFY2(shortLinkArrives(m_provider), logDump());
        // The success is told by an alert too.
        QVERIFY2(waitForWindow(alertTitle), logDump());
        QVERIFY(dismissAlert(windowsTitled(alertTitle).constFirst()));
        QCOMPARE(messagesStartingWith(u"notifications denied, showing alert directly"_s).size(), 3);
        QCOMPARE(messagesStartingWith(u"alert suppressed, another in flight"_s).size(), 1);
        QVERIFY(app.stop());
    }

    // A session's end while an alert waits for the user: its nested event loop must not keep the
    // program from quitting.
    void quitsWhileAnAlertIsUp()
    {
        App app(m_provider);
        QVERIFY(app.start());
        ClipboardOwner owner;
        QVERIFY(owner.set("not a link"));
        QVERIFY(pressKeys({ u"ctrl+alt+shift+s"_s }));
        QVERIFY2(waitForWindow(alertTitle), logDump());
        QVERIFY(app.stop());
        QVERIFY(waitForNoWindow(alertTitle));
    }

private:
    FWTest::FakeProviderProcess m_provider;
};

QTEST_GUILESS_MAIN(NotificationsMissingTest)
#include "NotificationsMissingTest.moc"
