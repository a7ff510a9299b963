#include "Notifier.h"

#include "DebugLog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using Ferrowick::Notifier;
using namespace Qt::StringLiterals;
namespace DebugLog = Ferrowick::DebugLog;

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

struct Alert
{
    QString windowTitle;
    QString text;
    QString informativeText;
    QStringList buttons;
    bool plainText = false;
};

// Answers alerts as a user would: reads each one, then presses its button once `mayDismiss` says
// so (asked repeatedly while the alert is up; by default at once). After the watchdog has fired it
// closes every dialog at once, so a broken test fails instead of hanging.
class AlertAnswerer : public QObject
{
public:
    AlertAnswerer()
    {
        connect(&m_poll, &QTimer::timeout, this, &AlertAnswerer::poll);
        m_poll.start(10);
        m_watchdog.setSingleShot(true);
        connect(&m_watchdog, &QTimer::timeout, this, [this] { timedOut = true; });
        m_watchdog.start(15'000);
    }

    std::function<bool(qsizetype alert)> mayDismiss;
    QList<Alert> seen;
    bool timedOut = false;

private:
    void poll()
    {
        if (timedOut) {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
            return;
        }
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        if (!m_reading) {
            m_reading = true;
            QStringList buttons;
            for (const QAbstractButton *button : box->buttons())
                buttons << button->text();
            bool plainText = true;
            for (const QLabel *label : box->findChildren<QLabel *>())
                plainText =
                    plainText && (label->text().isEmpty() || label->textFormat() == Qt::PlainText);
            seen << Alert { box->windowTitle(), box->text(), box->informativeText(), buttons,
                plainText };
        }
        if (mayDismiss && !mayDismiss(seen.size() - 1))
            return;
        m_reading = false;
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    }

    bool m_reading = false;
    QTimer m_poll;
    QTimer m_watchdog;
};

} // namespace

class NotifierTest : public QObject
{
    Q_OBJECT

    qint64 m_logStart = 0;
    QString m_capabilities; // the mock server's own list, to put back
    // Every test has one, so that an alert nobody expected fails the test instead of hanging it.
    std::unique_ptr<AlertAnswerer> m_alerts;

    // The messages logged since the test function began, without their timestamps.
    QStringList logged() const
    {
        DebugLog::flush();
        QFile file(DebugLog::filePath());
        if (!file.open(QIODevice::ReadOnly) || !file.seek(m_logStart))
            return {};
        QStringList messages;
        for (const QString &line :
            QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
            messages << line.section(u' ', 1);
        return messages;
    }

    static bool serverIs(const char *kind)
    {
        return qEnvironmentVariable("FERROWICK_NOTIFICATIONS") == QLatin1StringView(kind);
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariable("FERROWICK_HARNESS") != u"1"_s)
            QSKIP("only in the headless harness: never the user's notifications");
        if (serverIs("dbusmock")) {
            const QStringList listed =
                call(service, u"GetCapabilities"_s).arguments().value(0).toStringList();
            QVERIFY(listed.contains(u"body-markup"_s));
            m_capabilities = u"ret = ['%1']"_s.arg(listed.join(u"', '"_s));
        }
    }

    void init()
    {
        m_alerts = std::make_unique<AlertAnswerer>();
        DebugLog::flush();
        m_logStart = QFile(DebugLog::filePath()).size();
        if (serverIs("dbusmock"))
            QCOMPARE(mock(u"ClearCalls"_s).type(), QDBusMessage::ReplyMessage);
    }

    // Puts back what a test replaced (the notification_daemon template's own code).
    void cleanup()
    {
        QVERIFY(!m_alerts->timedOut);
        m_alerts.reset();
        if (!serverIs("dbusmock"))
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
    void postsWhatItWasGiven()
    {
        if (!serverIs("dbusmock"))
            QSKIP("needs --notifications=dbusmock");
        QFETCH(bool, markup);
        if (!markup)
            QVERIFY(replaceMethod(u"GetCapabilities"_s, {}, u"as"_s, u"ret = ['body']"_s));

        Notifier notifier;
        notifier.requestAuthorization();
        QTRY_COMPARE(notifier.authorizationGranted(), std::optional(true));
        notifier.notify(title, body);

        QTRY_COMPARE(notifyCalls().size(), 1);
        const QVariantList sent = notifyCalls().constFirst();
        // The mock converts what it receives to the declared types: the signature itself is
        // checked by dunst (dunstShowsNotice).
        QCOMPARE(sent.size(), 8);
        QCOMPARE(sent[0], QVariant(u"Ferrowick"_s));
        QCOMPARE(sent[1], QVariant(0u));
        QCOMPARE(sent[2], QVariant(u"app.ferrowick.Ferrowick"_s));
        QCOMPARE(sent[3], QVariant(title));
        QCOMPARE(sent[4], QVariant(markup ? escapedBody : body));
        QCOMPARE(sent[5], QVariant(QStringList()));
        QCOMPARE(qdbus_cast<QVariantMap>(sent[6]),
            (QVariantMap { { u"desktop-entry"_s, u"app.ferrowick.Ferrowick"_s } }));
        QCOMPARE(sent[7], QVariant(-1));

        QVERIFY(roundTrip());
        QCOMPARE(logged(), QStringList { u"notification authorization granted=true error=nil"_s });
        QVERIFY(m_alerts->seen.isEmpty());
    }

    void postsBeforeAuthorizationIsAnswered()
    {
        if (!serverIs("dbusmock"))
            QSKIP("needs --notifications=dbusmock");
        Notifier notifier;
        notifier.requestAuthorization();
        notifier.notify(title, body);
        QCOMPARE(notifier.authorizationGranted(), std::nullopt);

        QTRY_COMPARE(notifyCalls().size(), 1);
        QCOMPARE(notifyCalls().constFirst().value(4), QVariant(escapedBody));
        QTRY_COMPARE(notifier.authorizationGranted(), std::optional(true));
    }

    void refusedNoticeBecomesAlert()
    {
        if (!serverIs("dbusmock"))
            QSKIP("needs --notifications=dbusmock");
        QVERIFY(replaceMethod(u"Notify"_s, u"susssasa{sv}i"_s, u"u"_s,
            uR"(raise dbus.exceptions.DBusException("refused", name="org.freedesktop.DBus.Error.Failed"))"_s));
        Notifier notifier;
        notifier.notify(title, body);

        QTRY_COMPARE(m_alerts->seen.size(), 1);
        QCOMPARE(m_alerts->seen[0].text, title);
        QCOMPARE(m_alerts->seen[0].informativeText, body);
        QVERIFY(!notifier.alertInFlight());
        QCOMPARE(
            logged(), QStringList { u"notification add failed, falling back to alert: refused"_s });
    }

    void dunstShowsNotice()
    {
        if (!serverIs("dunst"))
            QSKIP("needs --notifications=dunst");
        Notifier notifier;
        notifier.requestAuthorization();
        QTRY_COMPARE(notifier.authorizationGranted(), std::optional(true));
        notifier.notify(title, body);

        // Dunst refuses a wrong signature, so a notice on its list was sent right.
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
        QCOMPARE(history.type(), QDBusMessage::ReplyMessage);
        const auto notices = qdbus_cast<QList<QVariantMap>>(history.arguments().value(0));
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices[0].value(u"summary"_s), QVariant(title));
        QCOMPARE(notices[0].value(u"body"_s), QVariant(escapedBody)); // dunst renders markup

        QVERIFY(roundTrip());
        QCOMPARE(logged(), QStringList { u"notification authorization granted=true error=nil"_s });
        QVERIFY(m_alerts->seen.isEmpty());
    }

    void noServerShowsOneAlertAtATime()
    {
        if (!serverIs("none"))
            QSKIP("needs --notifications=none");
        Notifier notifier;
        notifier.requestAuthorization();
        QTRY_COMPARE(notifier.authorizationGranted(), std::optional(false));
        const QStringList answer = logged();
        QCOMPARE(answer.size(), 1);
        QVERIFY2(answer[0].startsWith(u"notification authorization granted=false error="_s) &&
                answer[0].size() > answer[0].indexOf(u"error="_s) + 6,
            qPrintable(answer[0]));

        const QString suppressed = u"alert suppressed, another in flight"_s;
        bool secondSent = false;
        // While the first alert is up, a second notice comes and is dropped.
        m_alerts->mayDismiss = [&](qsizetype alert) {
            if (alert > 0)
                return true;
            if (!std::exchange(secondSent, true))
                notifier.notify(u"second"_s, u"dropped"_s);
            return logged().contains(suppressed);
        };
        notifier.notify(title, body);
        QVERIFY(m_alerts->seen.isEmpty()); // returned before the alert opened
        QTRY_VERIFY(secondSent && !notifier.alertInFlight());
        // Markup from elsewhere (a service's message, say) is shown as typed.
        const QString markup = u"<b>not bold</b> &amp;"_s;
        notifier.notify(u"<i>third</i>"_s, markup);
        QTRY_COMPARE(m_alerts->seen.size(), 2);
        QTRY_VERIFY(!notifier.alertInFlight());

        const Alert first = m_alerts->seen[0];
        QCOMPARE(first.windowTitle, u"Ferrowick"_s);
        QCOMPARE(first.text, title);
        QCOMPARE(first.informativeText, body);
        QCOMPARE(first.buttons, QStringList { u"OK"_s });
        QCOMPARE(m_alerts->seen[1].text, u"<i>third</i>"_s);
        QCOMPARE(m_alerts->seen[1].informativeText, markup);
        QVERIFY(m_alerts->seen[1].plainText);
        const QString direct = u"notifications denied, showing alert directly"_s;
        QCOMPARE(logged().mid(1), (QStringList { direct, direct, suppressed, direct }));
    }
};

QTEST_MAIN(NotifierTest)
#include "NotifierTest.moc"
