#include "Notifier.h"

#include "AppTestSupport.h"

#include <QDBusMessage>
#include <QDBusVariant>

using Ferrowick::Notifier;
using namespace FWTest;
using namespace Qt::StringLiterals;

namespace {

QDBusMessage callMock(
    const QString &interface, const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        u"org.freedesktop.Notifications"_s, u"/org/freedesktop/Notifications"_s, interface, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call);
}

// What the server answers to GetCapabilities from now on.
void offerCapabilities(const QStringList &capabilities)
{
    callMock(u"org.freedesktop.DBus.Mock"_s, u"AddMethod"_s,
        { u"org.freedesktop.Notifications"_s, u"GetCapabilities"_s, QString(), u"as"_s,
            u"ret = ['%1']"_s.arg(capabilities.join(u"', '"_s)) });
}

// The server's signal, as if the user had acted on a notice.
void emitFromServer(const QString &name, const QString &signature, const QVariantList &values)
{
    QVariantList arguments;
    for (const QVariant &value : values)
        arguments << QVariant::fromValue(QDBusVariant(value));
    callMock(u"org.freedesktop.DBus.Mock"_s, u"EmitSignal"_s,
        { u"org.freedesktop.Notifications"_s, name, signature, arguments });
}

// What the mock was asked to show, as dbus-send prints it.
QByteArray notifyCalls()
{
    return runTool(u"dbus-send"_s,
        { u"--session"_s, u"--print-reply"_s, u"--dest=org.freedesktop.Notifications"_s,
            u"/org/freedesktop/Notifications"_s, u"org.freedesktop.DBus.Mock.GetMethodCalls"_s,
            u"string:Notify"_s })
        .value_or("");
}

} // namespace

// Each case needs its own server: the registrations .dunst and .noServer run one case each. An
// alert nobody expected fails a case instead of hanging it: the DialogAnswerer closes it.
class NotifierTest : public QObject
{
    Q_OBJECT

    // A link that markup would mangle.
    const QString body = u"https://example.com/?a=1&b=<2>"_s;
    DialogAnswerer m_alerts;
    FakeDesktop m_desktop;
    QStringList m_offered; // the mock's own capabilities, restored after a case changed them

private slots:
    void cleanup()
    {
        if (!m_offered.isEmpty())
            offerCapabilities(std::exchange(m_offered, {}));
    }

    // The notice goes out before the server's capabilities are known, and must wait for them:
    // dbusmock records the escaped body. Dunst refuses a wrong signature, so a notice on its list
    // was sent right.
    void showsNotice()
    {
        const bool dunst = qEnvironmentVariable("FERROWICK_NOTIFICATIONS") == u"dunst"_s;
        if (!dunst && qEnvironmentVariable("FERROWICK_NOTIFICATIONS") != u"dbusmock"_s)
            QSKIP("needs a notification server");
        Notifier notifier(m_desktop);
        // Dunst offers actions: the Open action goes out with it.
        notifier.notifyLink(u"Link shortened"_s, body, QUrl(u"https://example.com/x"_s));
        if (dunst)
            QTRY_COMPARE(
                runTool(u"dunstctl"_s, { u"count"_s, u"displayed"_s }).value_or(""), "1\n"_ba);
        else
            QTRY_VERIFY(notifyCalls().contains("https://example.com/?a=1&amp;b=&lt;2&gt;"));
    }

    // The server tells every client of every action; only our notice's Open opens its link.
    void openAction_data()
    {
        QTest::addColumn<bool>("offered"); // the server lists "actions"
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("ours");
        QTest::addColumn<bool>("opens");
        QTest::newRow("open") << true << u"open"_s << true << true;
        QTest::newRow("click on the notice") << true << u"default"_s << true << true;
        QTest::newRow("another's notice") << true << u"open"_s << false << false;
        QTest::newRow("no actions offered") << false << u"open"_s << true << false;
    }
    void openAction()
    {
        QFETCH(bool, offered);
        QFETCH(QString, key);
        QFETCH(bool, ours);
        QFETCH(bool, opens);
        if (qEnvironmentVariable("FERROWICK_NOTIFICATIONS") != u"dbusmock"_s)
            QSKIP("needs the notification mock");
        m_offered = callMock(u"org.freedesktop.Notifications"_s, u"GetCapabilities"_s, {})
                        .arguments()
                        .value(0)
                        .toStringList();
        offerCapabilities(offered ? m_offered + QStringList { u"actions"_s } : m_offered);
        callMock(u"org.freedesktop.DBus.Mock"_s, u"ClearCalls"_s, {});
        // Another client's notice first: the server numbers them in turn, so ours is the next.
        const uint other = callMock(u"org.freedesktop.Notifications"_s, u"Notify"_s,
            { u"other"_s, 0u, QString(), u"t"_s, u"b"_s, QStringList(), QVariantMap(), -1 })
                               .arguments()
                               .value(0)
                               .toUInt();
        m_desktop.log.clear();
        Notifier notifier(m_desktop);
        const QUrl link(u"https://example.com/x"_s);
        // The later notices find the capabilities the first one asked for, again and again.
        QByteArray calls;
        for (int notices = 1; notices <= 3; ++notices) {
            notifier.notifyLink(u"Link shortened"_s, body, link);
            QTRY_COMPARE((calls = notifyCalls()).count("Link shortened"), notices);
        }
        QCOMPARE(calls.count("\"open\""), offered ? 3 : 0);
        if (!offered)
            return;
        // Then an Open of ours that does open: signals arrive in order, so once it has, the
        // row's has been dealt with.
        emitFromServer(u"ActionInvoked"_s, u"us"_s, { ours ? other + 3 : other, key });
        emitFromServer(u"ActionInvoked"_s, u"us"_s, { other + 3, u"open"_s });
        const QString opened = u"open "_s + link.toString();
        QTRY_VERIFY(m_desktop.log.contains(opened));
        QCOMPARE(m_desktop.log.count(opened), opens ? 2 : 1);
    }

    void noServerShowsOneAlertAtATime()
    {
        if (qEnvironmentVariable("FERROWICK_NOTIFICATIONS") != u"none"_s)
            QSKIP("needs --notifications=none");
        Notifier notifier(m_desktop);
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
