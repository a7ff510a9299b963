// The update check over real TLS against the local provider's feed, with the real dialogs.
#include "update/UpdateController.h"

#include "DebugLog.h"
#include "FakeDesktop.h"
#include "FakePreferences.h"
#include "FakeProviderProcess.h"
#include "update/UpdateUserDriverDelegate.h"

#include <FWKit/NetworkTransport.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QTest>

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

// Waits for the next dialog and presses the button with that text. Returns the dialog's name and
// informative text; nothing when no dialog came or it had no such button (cleanup() then closes it
// with its controller).
std::optional<std::pair<QString, QString>> answer(const QString &button)
{
    QMessageBox *dialog = nullptr;
    if (!QTest::qWaitFor(
            [&] { return dialog = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); },
            20'000))
        return std::nullopt;
    for (QAbstractButton *candidate : dialog->buttons()) {
        if (candidate->text() == button) {
            const std::pair shown { dialog->objectName(), dialog->informativeText() };
            candidate->click();
            return shown;
        }
    }
    return std::nullopt;
}

} // namespace

class UpdateControllerTest : public QObject
{
    Q_OBJECT

    FWTest::FakeProviderProcess provider;
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
        if (qEnvironmentVariable("FERROWICK_HARNESS") != u"1"_s)
            QSKIP("only in the headless harness: it shows dialogs");
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
    }

    void cleanup() { controller.reset(); }
    void cleanupTestCase() { QVERIFY(provider.stop()); }

    void userCheckAlwaysAnswers_data()
    {
        QTest::addColumn<QByteArray>("appcast");
        QTest::addColumn<int>("status"); // 0: the usual answer
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("informativeText");

        const QString upToDate = u"Ferrowick 1.5 is currently the newest version available."_s;
        const QString error =
            u"An error occurred in retrieving update information. Please try again later."_s;
        QTest::newRow("newer") << feed({ "0.9", "2.0", "1.6" }) << 0 << true << u"updateAvailable"_s
                               << u"Ferrowick 2.0 is now available—you have 1.5. Would you like "
                                  u"to download it now?"_s;
        QTest::newRow("same") << feed({ "1.5.0" }) << 0 << true << u"updateUpToDate"_s << upToDate;
        QTest::newRow("older") << feed({ "1.4.9" }) << 0 << true << u"updateUpToDate"_s << upToDate;
        QTest::newRow("malformed")
            << "<rss><channel><item>"_ba << 0 << true << u"updateError"_s << error;
        QTest::newRow("status 500") << feed({ "2.0" }) << 500 << true << u"updateError"_s << error;
        QTest::newRow("unreachable") << QByteArray() << 0 << false << u"updateError"_s << error;
    }

    void userCheckAlwaysAnswers()
    {
        QFETCH(QByteArray, appcast);
        QFETCH(int, status);
        QFETCH(bool, reachable);
        QFETCH(QString, dialog);
        QFETCH(QString, informativeText);

        QVERIFY(provider.setAppcast(appcast));
        if (status != 0)
            QVERIFY(
                provider.misbehave({ .path = u"/appcast.xml"_s, .count = 0, .status = status }));
        if (!reachable) // nothing listens on port 1
            makeController(QUrl(u"https://127.0.0.1:1/appcast.xml"_s));
        controller->start();
        QSignalSpy canCheck(&*controller, &UpdateController::canCheckForUpdatesChanged);

        controller->checkForUpdates();
        QVERIFY(!controller->canCheckForUpdates());
        QVERIFY(QTest::qWaitFor([] { return QApplication::activeModalWidget(); }, 20'000));
        controller->checkForUpdates(); // only raises the dialog
        QVERIFY(!controller->canCheckForUpdates());
        const bool offered = dialog == u"updateAvailable"_s;
        const auto shown = answer(offered ? u"Remind Me Later"_s : u"OK"_s);
        QVERIFY(shown);
        QCOMPARE(shown->first, dialog);
        QCOMPARE(shown->second, informativeText);
        QTRY_VERIFY(controller->canCheckForUpdates());
        QCOMPARE(delegate.calls, (QStringList { u"alert"_s, u"finish"_s }));
        QCOMPARE(canCheck, (QList<QVariantList> { { false }, { true } }));
        QCOMPARE(provider.requests().size(), reachable ? 1 : 0);
        if (dialog == u"updateError"_s) {
            DebugLog::flush();
            QFile log(DebugLog::filePath());
            QVERIFY(log.open(QIODevice::ReadOnly));
            QVERIFY(log.readAll().contains("update: the check failed: "));
        }

        // The next background check a day later; it shows only a new version.
        const auto next = controller->timeUntilBackgroundCheck();
        QVERIFY(next && *next > 24h - 1min && *next <= 24h);
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
        QVERIFY(answer(button));
        QTRY_VERIFY(controller->canCheckForUpdates());
        QCOMPARE(browser.log, opened);
        QCOMPARE(preferences.data(UpdateController::skippedVersionKey),
            skipped ? std::optional("2.0"_ba) : std::nullopt);

        // A skipped version is offered again only when the user asks.
        QCOMPARE(backgroundCheckIsSilent(), skipped);
        if (!skipped)
            QVERIFY(answer(u"Remind Me Later"_s));
        QTRY_VERIFY(controller->canCheckForUpdates());
        controller->checkForUpdates();
        QCOMPARE(answer(u"Remind Me Later"_s).value_or(std::pair<QString, QString>()).first,
            u"updateAvailable"_s);
        // A release newer than the skipped one is offered.
        QTRY_VERIFY(controller->canCheckForUpdates());
        QVERIFY(provider.setAppcast(feed({ "2.0.1" })));
        QVERIFY(!backgroundCheckIsSilent());
        QVERIFY(answer(u"Remind Me Later"_s));
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
