// The daily update check over a scripted transport.
#include "update/UpdateController.h"

#include "AppTestSupport.h"
#include "ui/UpdateDialogs.h"
#include "update/UpdatePrompt.h"

#include <QSignalSpy>

using namespace Ferrowick;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

QByteArray feed(const QByteArray &version, const QByteArray &url = "http://e.test/F.tar.gz")
{
    return R"(<rss xmlns:s="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel><item>)"
           "<link>https://e.test/F-" +
        version + "</link><enclosure url=\"" + url + "\" s:version=\"" + version +
        "\"/></item></channel></rss>";
}

} // namespace

class UpdateControllerTest : public QObject, UpdateUserDriverDelegate
{
    Q_OBJECT

    void willShowModalAlert() override { }
    void willFinishUpdateSession() override { }

private slots:
    void initTestCase() { SKIP_OUTSIDE_HARNESS(); }

    void backgroundCheck_data()
    {
        QTest::addColumn<int>("status"); // of the feed, which lists `version`
        QTest::addColumn<QByteArray>("version"); // the running one is 1.5
        QTest::addColumn<int>("nextHours"); // 0: the new version is offered
        QTest::newRow("newer") << 200 << "1.10"_ba << 0;
        QTest::newRow("the same") << 200 << "1.5.0"_ba << 24;
        QTest::newRow("its pre-release") << 200 << "1.5b3"_ba << 24;
        QTest::newRow("failed: again in an hour") << 500 << "2.0"_ba << 1;
    }
    // It speaks only of a new version. The next check is a day later, or an hour after a failure,
    // which does not count as the day's check.
    void backgroundCheck()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, version);
        QFETCH(int, nextHours);
        FWTest::FakeTransport transport;
        transport.answer(status, feed(version));
        FWTest::FakeDesktop browser;
        FWTest::FakePreferences preferences;
        UpdateDialogs dialogs; // closes what is still up at the end
        UpdateController controller(transport, *this, dialogs, browser, preferences,
            QUrl(u"https://e.test/appcast.xml"_s), u"1.5"_s, true);
        controller.start();
        controller.checkInBackground();
        QTRY_VERIFY(nextHours == 0 ? QApplication::activeModalWidget() != nullptr
                                   : controller.canCheckForUpdates());
        const auto next = controller.timeUntilBackgroundCheck();
        QVERIFY(nextHours == 0 || (next && abs(*next - std::chrono::hours(nextHours)) < 1min));
        QCOMPARE(preferences.data(UpdateController::lastCheckKey).has_value(), status == 200);
    }

    void userCheck_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<QString>("press");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("browser"); // what the browser was asked to open
        QTest::addColumn<bool>("skipped"); // the daily check then stays quiet
        QTest::newRow("up to date")
            << 200 << "1.5"_ba << u"OK"_s << u"You're up to date!"_s << QString() << false;
        QTest::newRow("error") << 404 << "2.0"_ba << u"OK"_s << u"Update Error!"_s << QString()
                               << false;
        // The enclosure's plain http link is never offered: the https page is.
        QTest::newRow("download") << 200 << "2.0"_ba << u"Download"_s
                                  << u"A new version of Ferrowick is available!"_s
                                  << u"open https://e.test/F-2.0"_s << false;
        QTest::newRow("skip") << 200 << "2.0"_ba << u"Skip This Version"_s
                              << u"A new version of Ferrowick is available!"_s << QString() << true;
        QTest::newRow("later") << 200 << "2.0"_ba << u"Remind Me Later"_s
                               << u"A new version of Ferrowick is available!"_s << QString()
                               << false;
    }
    // The user's check always answers; the choice is acted on.
    void userCheck()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, version);
        QFETCH(QString, press);
        QFETCH(QString, shown);
        QFETCH(QString, browser);
        QFETCH(bool, skipped);
        FWTest::FakeTransport transport;
        transport.answer(status, feed(version));
        transport.answer(status, feed(version));
        FWTest::FakeDesktop desktop;
        FWTest::FakePreferences preferences;
        UpdateDialogs dialogs;
        UpdateController controller(transport, *this, dialogs, desktop, preferences,
            QUrl(u"https://e.test/appcast.xml"_s), u"1.5"_s, true);
        FWTest::DialogAnswerer user;
        user.press = [&press](qsizetype) { return press; };
        controller.checkForUpdates();
        QTRY_COMPARE(user.answered.size(), 1);
        QCOMPARE(user.answered.first().text, shown);
        QTRY_VERIFY(controller.canCheckForUpdates());
        QCOMPARE(desktop.log.join(u'|'), browser);
        // The daily check offers again what was neither skipped nor up to date.
        controller.checkInBackground();
        QTRY_VERIFY(controller.canCheckForUpdates());
        const bool offeredAgain = status == 200 && version != "1.5" && !skipped;
        QCOMPARE(user.answered.size(), offeredAgain ? 2 : 1);
    }

    // Unlike a QTimer it counts the time the machine sleeps: it fires at a time of day.
    void wallClockTimerFiresAtItsTime()
    {
        WallClockTimer timer;
        QSignalSpy fired(&timer, &WallClockTimer::timeout);
        const QDateTime soon = QDateTime::currentDateTimeUtc().addMSecs(50);
        timer.start(soon);
        QVERIFY(fired.wait(5'000));
        QVERIFY(QDateTime::currentDateTimeUtc() >= soon);
    }
};

QTEST_MAIN(UpdateControllerTest)
#include "UpdateControllerTest.moc"
