// The daily update check over a scripted transport.
#include "update/UpdateController.h"

#include "AppTestSupport.h"
#include "update/UpdateUserDriverDelegate.h"

#include <QSignalSpy>

using namespace Ferrowick;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

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
        transport.answer(status,
            R"(<rss xmlns:s="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel><item>)"
            "<s:version>" +
                version + "</s:version></item></channel></rss>");
        FWTest::FakeDesktop browser;
        FWTest::FakePreferences preferences;
        UpdateController controller(transport, *this, browser, preferences,
            QUrl(u"https://e.test/appcast.xml"_s), u"1.5"_s, true);
        controller.start();
        controller.checkInBackground();
        QTRY_VERIFY(nextHours == 0 ? QApplication::activeModalWidget() != nullptr
                                   : controller.canCheckForUpdates());
        const auto next = controller.timeUntilBackgroundCheck();
        QVERIFY(nextHours == 0 || (next && abs(*next - std::chrono::hours(nextHours)) < 1min));
        QCOMPARE(preferences.data(UpdateController::lastCheckKey).has_value(), status == 200);
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
