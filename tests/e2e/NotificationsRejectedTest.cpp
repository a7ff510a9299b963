#include "E2E.h"

using namespace E2E;

namespace {

// The mock's Notify: the notification_daemon template's own code, or one that refuses every call.
const QString notifySignature = u"susssasa{sv}i"_s;
const QString acceptingNotify =
    u"if args[1]:\n    ret = args[1]\nelse:\n    ret = self.next_id\n    self.next_id += 1\n"_s;
const QString refusingNotify =
    uR"(raise dbus.exceptions.DBusException("not for this application", name="org.freedesktop.DBus.Error.AccessDenied"))"_s;

bool setNotify(const QString &code)
{
    return callMock(u"AddMethod"_s,
               { u"org.freedesktop.Notifications"_s, u"Notify"_s, notifySignature, u"u"_s, code })
               .type() == QDBusMessage::ReplyMessage;
}

} // namespace

// A notification server that is there but refuses every notice: each one falls back to a modal
// alert, one at a time, and the program goes on working.
class NotificationsRejectedTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!inHarness())
            QSKIP("only in the headless harness: never the user's clipboard or display");
        if (qEnvironmentVariable("FERROWICK_NOTIFICATIONS") != u"dbusmock"_s)
            QSKIP("needs the harness's notification mock");
        QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s, {} } } }));
        QVERIFY(resetDesktop());
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
    }

    void cleanupTestCase() { QVERIFY(setNotify(acceptingNotify)); }

    void refusedNoticesBecomeOneAlertAtATime()
    {
        QVERIFY(setNotify(refusingNotify));
        App app(m_provider);
        QVERIFY(app.start());
        QCOMPARE(messagesStartingWith(u"notification authorization "_s),
            QStringList { u"notification authorization granted=true error=nil"_s });
        QVERIFY(m_provider.misbehave({ .path = u"/api/shrink"_s, .count = 0, .status = 500 }));
        ClipboardOwner owner;
        QVERIFY(owner.set("https://example.com/first"));

        const QString fellBack =
            u"notification add failed, falling back to alert: not for this application"_s;
        QVERIFY(pressKeys({ u"ctrl+alt+shift+s"_s }));
        QVERIFY2(waitForWindow(alertTitle), logDump());
        const QString alert = windowsTitled(alertTitle).constFirst();
        QCOMPARE(messagesStartingWith(u"notification add failed"_s), QStringList { fellBack });

        QVERIFY(pressKeys({ u"ctrl+alt+shift+s"_s }));
        QVERIFY2(waitForLog(u"alert suppressed, another in flight"_s), logDump());
        QCOMPARE(messagesStartingWith(u"notification add failed"_s), QStringList(2, fellBack));
        QCOMPARE(windowsTitled(alertTitle), QStringList { alert });
        QVERIFY(dismissAlert(alert));

        // The server takes notices again: the next shrink is told the usual way.
        QVERIFY(setNotify(acceptingNotify));
        QVERIFY(clearNotices());
        QVERIFY(m_provider.reset());
        QVERIFY2(shortLinkArrives(m_provider), logDump());
        std::optional<QList<Notice>> shown;
        QVERIFY(
            QTest::qWaitFor([&] { return (shown = notices()) && !shown->isEmpty(); }, patienceMs));
        QCOMPARE(*shown,
            (QList { Notice { u"Notice"_s,
                u"The url has been copied to your clipboard\n\n"_s +
                    QString::fromUtf8(clipboard()) } }));
        QCOMPARE(windowsTitled(alertTitle), QStringList());
        QCOMPARE(messagesStartingWith(u"alert suppressed"_s).size(), 1);
        QVERIFY(app.stop());
    }

private:
    FWTest::FakeProviderProcess m_provider;
};

QTEST_GUILESS_MAIN(NotificationsRejectedTest)
#include "NotificationsRejectedTest.moc"
