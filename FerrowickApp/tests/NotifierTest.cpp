#include "Notifier.h"

#include "AppTestSupport.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QSignalSpy>

using Ferrowick::Notifier;
using namespace FWTest;
using namespace Qt::StringLiterals;

namespace {

const QString service = u"org.freedesktop.Notifications"_s;
const QString path = u"/org/freedesktop/Notifications"_s;

const QString title = u"Link shortened"_s;
// Two line feeds and a link that markup would mangle.
const QString body = u"Copied to the clipboard:\n\nhttps://example.com/?a=1&b=<2>"_s;
const QString escapedBody =
    u"Copied to the clipboard:\n\nhttps://example.com/?a=1&amp;b=&lt;2&gt;"_s;

QDBusMessage call(const QString &interface, const QString &method, const QVariantList &args = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(args);
    return QDBusConnection::sessionBus().call(message);
}

QDBusMessage mock(const QString &method, const QVariantList &args = {})
{
    return call(u"org.freedesktop.DBus.Mock"_s, method, args);
}

// Replaces one of the mock server's methods with the given Python code.
bool replaceMethod(
    const QString &method, const QString &in, const QString &out, const QString &code)
{
    return mock(u"AddMethod"_s, { service, method, in, out, code }).type() ==
        QDBusMessage::ReplyMessage;
}

// The arguments of every Notify the mock server received, in order.
QList<QVariantList> notifyCalls()
{
    const QDBusMessage reply = mock(u"GetMethodCalls"_s, { u"Notify"_s });
    QList<QVariantList> calls;
    if (reply.type() != QDBusMessage::ReplyMessage)
        return calls;
    const auto list = reply.arguments().constFirst().value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        quint64 time = 0;
        QVariantList arguments;
        list.beginStructure();
        list >> time >> arguments;
        list.endStructure();
        calls << arguments;
    }
    list.endArray();
    return calls;
}

// Returns once everything the server sent before has been delivered to this process, so a
// Notify's answer has reached the notifier.
bool roundTrip()
{
    QDBusPendingCallWatcher watcher(QDBusConnection::sessionBus().asyncCall(
        QDBusMessage::createMethodCall(service, path, service, u"GetServerInformation"_s)));
    return watcher.isFinished() || QSignalSpy(&watcher, &QDBusPendingCallWatcher::finished).wait();
}

} // namespace

class NotifierTest : public QObject
{
    Q_OBJECT

    QString m_capabilities; // the mock server's own list, to put back
    // Every test has one, so that an alert nobody expected fails the test instead of hanging it.
    std::unique_ptr<DialogAnswerer> m_alerts;

private slots:
    void initTestCase()
    {
        SKIP_OUTSIDE_HARNESS();
        if (qEnvironmentVariable("FERROWICK_NOTIFICATIONS") == u"dbusmock"_s) {
            const QStringList listed =
                call(service, u"GetCapabilities"_s).arguments().value(0).toStringList();
            QVERIFY(listed.contains(u"body-markup"_s));
            m_capabilities = u"ret = ['%1']"_s.arg(listed.join(u"', '"_s));
        }
    }

    // dunstShowsNotice needs --notifications=dunst, noServerShowsOneAlertAtATime none, everything
    // else the default dbusmock, which records what it is sent.
    void init()
    {
        const QByteArray function = QTest::currentTestFunction();
        const QString server = function == "dunstShowsNotice" ? u"dunst"_s
            : function == "noServerShowsOneAlertAtATime"      ? u"none"_s
                                                              : u"dbusmock"_s;
        if (qEnvironmentVariable("FERROWICK_NOTIFICATIONS") != server)
            QSKIP(qPrintable(u"needs --notifications="_s + server));
        m_alerts = std::make_unique<DialogAnswerer>();
        m_alerts->press = [](qsizetype) { return u"OK"_s; };
        clearLog();
        if (server == u"dbusmock"_s)
            QCOMPARE(mock(u"ClearCalls"_s).type(), QDBusMessage::ReplyMessage);
    }

    // Puts back what a test replaced (the notification_daemon template's own code).
    void cleanup()
    {
        if (!m_alerts)
            return;
        QVERIFY(!std::exchange(m_alerts, nullptr)->timedOut);
        if (qEnvironmentVariable("FERROWICK_NOTIFICATIONS") != u"dbusmock"_s)
            return;
        QVERIFY(replaceMethod(u"GetCapabilities"_s, {}, u"as"_s, m_capabilities));
        QVERIFY(replaceMethod(u"Notify"_s, u"susssasa{sv}i"_s, u"u"_s,
            u"if args[1]:\n    ret = args[1]\nelse:\n    ret = self.next_id\n    self.next_id += 1\n"_s));
    }

    void postsWhatItWasGiven_data()
    {
        QTest::addColumn<bool>("markup");
        QTest::newRow("server renders markup") << true;
        QTest::newRow("plain-text server") << false;
    }
    // The first notice goes out before the server's capabilities are known and must wait for
    // them; the second one uses what was learnt.
    void postsWhatItWasGiven()
    {
        QFETCH(bool, markup);
        if (!markup)
            QVERIFY(replaceMethod(u"GetCapabilities"_s, {}, u"as"_s, u"ret = ['body']"_s));

        Notifier notifier;
        notifier.requestAuthorization();
        notifier.notify(title, body);
        QCOMPARE(notifier.authorizationGranted(), std::nullopt);
        QTRY_COMPARE(notifier.authorizationGranted(), std::optional(true));
        notifier.notify(title, body);

        QTRY_COMPARE(notifyCalls().size(), 2);
        for (const QVariantList &sent : notifyCalls()) {
            // The mock converts what it receives to the declared types: the signature itself is
            // checked by dunst (dunstShowsNotice).
            QCOMPARE(sent.size(), 8);
            QCOMPARE(sent.first(6),
                QVariantList({ u"Ferrowick"_s, 0u, u"app.ferrowick.Ferrowick"_s, title,
                    markup ? escapedBody : body, QStringList() }));
            QCOMPARE(qdbus_cast<QVariantMap>(sent[6]),
                (QVariantMap { { u"desktop-entry"_s, u"app.ferrowick.Ferrowick"_s } }));
            QCOMPARE(sent[7], QVariant(-1));
        }
        QVERIFY(roundTrip());
        QCOMPARE(
            logLines(), QStringList { u"notification authorization granted=true error=nil"_s });
        QVERIFY(m_alerts->answered.isEmpty());
    }

    void refusedNoticeBecomesAlert()
    {
        QVERIFY(replaceMethod(u"Notify"_s, u"susssasa{sv}i"_s, u"u"_s,
            uR"(raise dbus.exceptions.DBusException("refused", name="org.freedesktop.DBus.Error.Failed"))"_s));
        Notifier notifier;
        notifier.notify(title, body);

        QTRY_COMPARE(m_alerts->answered.size(), 1);
        QCOMPARE(m_alerts->answered[0].text, title);
        QCOMPARE(m_alerts->answered[0].informativeText, body);
        QVERIFY(!notifier.alertInFlight());
        QCOMPARE(logLines(),
            QStringList { u"notification add failed, falling back to alert: refused"_s });
    }

    // Dunst refuses a wrong signature, so a notice on its list was sent right.
    void dunstShowsNotice()
    {
        Notifier notifier;
        notifier.requestAuthorization();
        QTRY_COMPARE(notifier.authorizationGranted(), std::optional(true));
        notifier.notify(title, body);

        const QString dunst = u"org.dunstproject.cmd0"_s;
        QTRY_COMPARE(
            call(u"org.freedesktop.DBus.Properties"_s, u"Get"_s, { dunst, u"displayedLength"_s })
                .arguments()
                .value(0)
                .value<QDBusVariant>()
                .variant(),
            QVariant(1u));
        QCOMPARE(call(dunst, u"NotificationCloseAll"_s).type(), QDBusMessage::ReplyMessage);
        const QDBusMessage history = call(dunst, u"NotificationListHistory"_s);
        const auto notices = qdbus_cast<QList<QVariantMap>>(history.arguments().value(0));
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices[0].value(u"summary"_s), QVariant(title));
        QCOMPARE(notices[0].value(u"body"_s), QVariant(escapedBody)); // dunst renders markup
    }

    void noServerShowsOneAlertAtATime()
    {
        Notifier notifier;
        notifier.requestAuthorization();
        QTRY_COMPARE(notifier.authorizationGranted(), std::optional(false));
        const QStringList answer = logLines();
        QCOMPARE(answer.size(), 1);
        QVERIFY2(answer[0].startsWith(u"notification authorization granted=false error="_s) &&
                answer[0].size() > answer[0].indexOf(u"error="_s) + 6,
            qPrintable(answer[0]));

        const QString suppressed = u"alert suppressed, another in flight"_s;
        bool secondSent = false;
        // While the first alert is up, a second notice comes and is dropped.
        m_alerts->press = [&](qsizetype alert) {
            if (alert == 0 && !std::exchange(secondSent, true))
                notifier.notify(u"second"_s, u"dropped"_s);
            return alert > 0 || logLines().contains(suppressed) ? u"OK"_s : QString();
        };
        notifier.notify(title, body);
        QVERIFY(m_alerts->answered.isEmpty()); // returned before the alert opened
        QTRY_VERIFY(secondSent && !notifier.alertInFlight());
        // Markup from elsewhere (a service's message, say) is shown as typed.
        const QString markup = u"<b>not bold</b> &amp;"_s;
        notifier.notify(u"<i>third</i>"_s, markup);
        QTRY_COMPARE(m_alerts->answered.size(), 2);
        QTRY_VERIFY(!notifier.alertInFlight());

        const DialogAnswerer::Box first = m_alerts->answered[0];
        QCOMPARE(first.title, u"Ferrowick"_s);
        QCOMPARE(first.text, title);
        QCOMPARE(first.informativeText, body);
        QCOMPARE(first.buttons, QStringList { u"OK"_s });
        QCOMPARE(m_alerts->answered[1].text, u"<i>third</i>"_s);
        QCOMPARE(m_alerts->answered[1].informativeText, markup);
        QVERIFY(m_alerts->answered[1].plainText);
        const QString direct = u"notifications denied, showing alert directly"_s;
        QCOMPARE(logLines().mid(1), (QStringList { direct, direct, suppressed, direct }));
    }
};

QTEST_MAIN(NotifierTest)
#include "NotifierTest.moc"
