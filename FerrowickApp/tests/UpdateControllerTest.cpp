// The update check over real TLS against the local provider's feed, with the real dialogs.
#include "update/UpdateController.h"

#include "AppTestSupport.h"
#include "FakeProviderProcess.h"
#include "update/UpdateUserDriverDelegate.h"

#include <FWKit/NetworkTransport.h>

#include <QSignalSpy>
#include <QSslCertificate>

using namespace Ferrowick;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// Notes whether a dialog was already up when an alert was announced.
struct FakeDelegate final : UpdateUserDriverDelegate
{
    QStringList calls;
    void willShowModalAlert() override
    {
        calls << (QApplication::activeModalWidget() ? u"alert over a dialog"_s : u"alert"_s);
    }
    void willFinishUpdateSession() override { calls << u"finish"_s; }
};

QByteArray feed(const QList<QByteArray> &versions)
{
    QByteArray items;
    for (const QByteArray &version : versions)
        items += "<item><enclosure url=\"{origin}/dl/" + version + "\" sparkle:version=\"" +
            version + "\"/></item>";
    return "<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>" +
        items + "</channel></rss>";
}

} // namespace

class UpdateControllerTest : public QObject
{
    Q_OBJECT

    FWTest::FakeProviderProcess provider;
    std::unique_ptr<FWTest::DialogAnswerer> dialogs;
    std::optional<FWKit::NetworkTransport> transport;
    FakeDelegate delegate;
    FWTest::FakeDesktop browser;
    FWTest::FakePreferences preferences;
    std::optional<UpdateController> controller;

    void makeController(const QUrl &feedUrl, bool automaticChecks = true)
    {
        controller.emplace(
            *transport, delegate, browser, preferences, feedUrl, u"1.5"_s, automaticChecks);
    }

    // The name of the next dialog, once `button` is pressed there; empty if none came.
    QString answer(const QString &button) { return dialogs->answerNext(button).name; }

    // Runs a background check until it ends or shows a dialog; true when it ended unseen.
    bool backgroundCheckIsSilent()
    {
        const qsizetype before = delegate.calls.size();
        controller->checkInBackground();
        const bool ended = QTest::qWaitFor(
            [&] { return controller->canCheckForUpdates() || QApplication::activeModalWidget(); },
            20'000);
        return ended && delegate.calls.mid(before) == QStringList { u"finish"_s };
    }

private slots:
    void initTestCase()
    {
        SKIP_OUTSIDE_HARNESS();
        QVERIFY(provider.start());
    }

    void init()
    {
        QVERIFY(provider.reset());
        transport.emplace(QSslCertificate::fromPath(provider.caFile()));
        delegate.calls.clear();
        browser.log.clear();
        preferences.values.clear();
        makeController(provider.appcastUrl());
        dialogs = std::make_unique<FWTest::DialogAnswerer>();
    }

    void cleanup()
    {
        controller.reset();
        QVERIFY(!std::exchange(dialogs, nullptr)->timedOut);
    }
    void cleanupTestCase() { QVERIFY(provider.stop()); }

    void userCheckAlwaysAnswers_data()
    {
        QTest::addColumn<QByteArray>("appcast");
        QTest::addColumn<int>("status"); // 0: the usual answer; -1: nothing listens
        QTest::addColumn<QString>("dialog");
        QTest::newRow("newer") << feed({ "0.9", "2.0", "1.6" }) << 0 << u"updateAvailable"_s;
        QTest::newRow("same") << feed({ "1.5.0" }) << 0 << u"updateUpToDate"_s;
        QTest::newRow("older") << feed({ "1.4.9" }) << 0 << u"updateUpToDate"_s;
        QTest::newRow("malformed") << "<rss><channel><item>"_ba << 0 << u"updateError"_s;
        QTest::newRow("status 500") << feed({ "2.0" }) << 500 << u"updateError"_s;
        QTest::newRow("unreachable") << QByteArray() << -1 << u"updateError"_s;
    }
    void userCheckAlwaysAnswers()
    {
        QFETCH(QByteArray, appcast);
        QFETCH(int, status);
        QFETCH(QString, dialog);
        QVERIFY(provider.setAppcast(appcast));
        if (status > 0)
            QVERIFY(
                provider.misbehave({ .path = u"/appcast.xml"_s, .count = 0, .status = status }));
        if (status < 0) // nothing listens on port 1
            makeController(QUrl(u"https://127.0.0.1:1/appcast.xml"_s));
        controller->start();
        QSignalSpy canCheck(&*controller, &UpdateController::canCheckForUpdatesChanged);

        controller->checkForUpdates();
        QVERIFY(!controller->canCheckForUpdates());
        QVERIFY(QTest::qWaitFor([] { return QApplication::activeModalWidget(); }, 20'000));
        controller->checkForUpdates(); // only raises the dialog
        const bool offered = dialog == u"updateAvailable"_s;
        const auto shown = dialogs->answerNext(offered ? u"Remind Me Later"_s : u"OK"_s);
        QCOMPARE(shown.name, dialog);
        if (offered) // the newest of the feed, not the last
            QVERIFY2(shown.informativeText.contains(u"Ferrowick 2.0 is now available"_s),
                qPrintable(shown.informativeText));
        QTRY_VERIFY(controller->canCheckForUpdates());
        QCOMPARE(delegate.calls, (QStringList { u"alert"_s, u"finish"_s }));
        QCOMPARE(canCheck, (QList<QVariantList> { { false }, { true } }));
        QCOMPARE(provider.requests().size(), status < 0 ? 0 : 1);
        if (dialog == u"updateError"_s)
            QVERIFY(!FWTest::logLines().filter(u"update: the check failed: "_s).isEmpty());

        // The next background check a day later, or an hour after a failure, which does not count
        // as the day's check. It shows only a new version.
        const bool failed = dialog == u"updateError"_s;
        const auto next = controller->timeUntilBackgroundCheck();
        const auto expected = failed ? std::chrono::hours(UpdateController::retryDelay) : 24h;
        QVERIFY(next && *next > expected - 1min && *next <= expected);
        QCOMPARE(preferences.data(UpdateController::lastCheckKey).has_value(), !failed);
        if (!offered)
            QVERIFY(backgroundCheckIsSilent());
    }

    void newVersionChoices_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("opened");
        QTest::addColumn<bool>("skipped");

        const QUrl download = provider.origin().resolved(QUrl(u"/dl/2.0"_s));
        QTest::newRow("download") << u"Download"_s
                                  << QStringList { u"open "_s + download.toString() } << false;
        QTest::newRow("skip") << u"Skip This Version"_s << QStringList() << true;
        QTest::newRow("remind later") << u"Remind Me Later"_s << QStringList() << false;
    }

    void newVersionChoices()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, opened);
        QFETCH(bool, skipped);

        QVERIFY(provider.setAppcast(feed({ "2.0" })));
        controller->checkForUpdates();
        QVERIFY(!answer(button).isEmpty());
        QTRY_VERIFY(controller->canCheckForUpdates());
        QCOMPARE(browser.log, opened);
        QCOMPARE(preferences.data(UpdateController::skippedVersionKey),
            skipped ? std::optional("2.0"_ba) : std::nullopt);

        // A skipped version is offered again only when the user asks.
        QCOMPARE(backgroundCheckIsSilent(), skipped);
        if (!skipped)
            QVERIFY(!answer(u"Remind Me Later"_s).isEmpty());
        QTRY_VERIFY(controller->canCheckForUpdates());
        controller->checkForUpdates();
        QCOMPARE(answer(u"Remind Me Later"_s), u"updateAvailable"_s);
        // A release newer than the skipped one is offered.
        QTRY_VERIFY(controller->canCheckForUpdates());
        QVERIFY(provider.setAppcast(feed({ "2.0.1" })));
        QVERIFY(!backgroundCheckIsSilent());
        QVERIFY(!answer(u"Remind Me Later"_s).isEmpty());
    }

    void schedule_data()
    {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<int>("lastCheckSecondsAgo"); // -1: never
        QTest::addColumn<int>("expectedSeconds"); // -1: nothing scheduled

        QTest::newRow("never checked") << true << -1 << 60;
        QTest::newRow("an hour ago") << true << 3600 << 23 * 3600;
        QTest::newRow("two days ago") << true << 2 * 86400 << 60;
        QTest::newRow("the day almost over") << true << 86400 - 30 << 60;
        QTest::newRow("in the future") << true << -3600 << 60;
        QTest::newRow("automatic checks off") << false << 3600 << -1;
    }

    void schedule()
    {
        QFETCH(bool, automatic);
        QFETCH(int, lastCheckSecondsAgo);
        QFETCH(int, expectedSeconds);

        if (lastCheckSecondsAgo != -1) {
            const QDateTime last = QDateTime::currentDateTimeUtc().addSecs(-lastCheckSecondsAgo);
            preferences.setData(
                UpdateController::lastCheckKey, last.toString(Qt::ISODateWithMs).toUtf8());
        }
        makeController(provider.appcastUrl(), automatic);
        QVERIFY(!controller->timeUntilBackgroundCheck()); // nothing before start()
        controller->start();
        const auto next = controller->timeUntilBackgroundCheck();
        QCOMPARE(next.has_value(), expectedSeconds != -1);
        const std::chrono::seconds expected(expectedSeconds);
        if (next)
            QVERIFY2(*next > expected - 1min && *next <= expected,
                qPrintable(QString::number(next->count())));
        QVERIFY(provider.requests().isEmpty()); // launch fetches nothing
    }

    // Unlike a QTimer, it counts the time the machine sleeps: it fires at a time of day.
    void wallClockTimer()
    {
        WallClockTimer timer;
        QSignalSpy fired(&timer, &WallClockTimer::timeout);
        timer.start(QDateTime::currentDateTimeUtc().addMSecs(-1));
        QVERIFY(fired.wait(5'000));
        QVERIFY(!timer.isActive());
        const QDateTime soon = QDateTime::currentDateTimeUtc().addMSecs(50);
        timer.start(soon);
        QVERIFY(timer.isActive());
        QVERIFY(fired.wait(5'000));
        QVERIFY(QDateTime::currentDateTimeUtc() >= soon);
        timer.start(QDateTime::currentDateTimeUtc().addSecs(3600));
        timer.stop();
        QVERIFY(!timer.isActive());
        QCOMPARE(fired.size(), 2);
    }

    void feedFromEnvironment_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QUrl>("feed");

        const QUrl production(u"https://ferrowick.app/appcast.xml"_s);
        QTest::newRow("unset") << QByteArray() << production;
        QTest::newRow("https") << "https://127.0.0.1:4443/f.xml"_ba
                               << QUrl(u"https://127.0.0.1:4443/f.xml"_s);
        QTest::newRow("http") << "http://example.com/appcast.xml"_ba << production;
        QTest::newRow("no host") << "https:///appcast.xml"_ba << production;
        QTest::newRow("not a URL") << "https://exa mple.com/"_ba << production;
    }

    void feedFromEnvironment()
    {
        QFETCH(QByteArray, value);
        QFETCH(QUrl, feed);

        qputenv("FERROWICK_UPDATE_FEED", value);
        QCOMPARE(UpdateController::feedFromEnvironment(), feed);
        qunsetenv("FERROWICK_UPDATE_FEED");
    }
};

QTEST_MAIN(UpdateControllerTest)
#include "UpdateControllerTest.moc"
