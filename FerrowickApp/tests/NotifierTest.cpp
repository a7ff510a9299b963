#include "Notifier.h"

#include "AppTestSupport.h"

using Ferrowick::Notifier;
using namespace FWTest;
using namespace Qt::StringLiterals;

// Each case needs its own server: the registrations .dunst and .noServer run one case each. An
// alert nobody expected fails a case instead of hanging it: the DialogAnswerer closes it.
class NotifierTest : public QObject
{
    Q_OBJECT

    // A link that markup would mangle.
    const QString body = u"https://example.com/?a=1&b=<2>"_s;
    DialogAnswerer m_alerts;

private slots:
    // The notice goes out before the server's capabilities are known, and must wait for them:
    // dbusmock records the escaped body. Dunst refuses a wrong signature, so a notice on its list
    // was sent right.
    void showsNotice()
    {
        const bool dunst = qEnvironmentVariable("FERROWICK_NOTIFICATIONS") == u"dunst"_s;
        if (!dunst && qEnvironmentVariable("FERROWICK_NOTIFICATIONS") != u"dbusmock"_s)
            QSKIP("needs a notification server");
        Notifier notifier;
        notifier.notify(u"Link shortened"_s, body);
        if (dunst)
            QTRY_COMPARE(
                runTool(u"dunstctl"_s, { u"count"_s, u"displayed"_s }).value_or(""), "1\n"_ba);
        else
            QTRY_VERIFY(runTool(u"dbus-send"_s,
                { u"--session"_s, u"--print-reply"_s, u"--dest=org.freedesktop.Notifications"_s,
                    u"/org/freedesktop/Notifications"_s,
                    u"org.freedesktop.DBus.Mock.GetMethodCalls"_s, u"string:Notify"_s })
                            .value_or("")
                            .contains("https://example.com/?a=1&amp;b=&lt;2&gt;"));
    }

    void noServerShowsOneAlertAtATime()
    {
        if (qEnvironmentVariable("FERROWICK_NOTIFICATIONS") != u"none"_s)
            QSKIP("needs --notifications=none");
        Notifier notifier;
        notifier.requestAuthorization();
        QTRY_COMPARE(notifier.authorizationGranted(), std::optional(false));
        // A second notice comes while the first alert is up, which is answered at the next look:
        // the second is dropped, not queued.
        bool secondSent = false;
        m_alerts.press = [&](qsizetype) {
            if (std::exchange(secondSent, true))
                return u"OK"_s;
            notifier.notify(u"second"_s, body);
            return QString();
        };
        notifier.notify(u"first"_s, u"<b>not bold</b>"_s);
        QTRY_VERIFY(secondSent && !notifier.alertInFlight());
        notifier.notify(u"third"_s, body);
        QTRY_COMPARE(m_alerts.answered.size(), 2);
        QCOMPARE(m_alerts.answered[1].text, u"third"_s);
        // Markup from elsewhere (a service's message, say) is shown as typed.
        QVERIFY(m_alerts.answered[0].plainText);
    }
};

QTEST_MAIN(NotifierTest)
#include "NotifierTest.moc"
