#include "FWTestSupport.h"
#include "FakeCredentialStore.h"
#include "FakeDesktop.h"
#include "FakeManager.h"

#include <FWKit/AppModel.h>
#include <FWKit/Clipboard.h>
#include <FWKit/Outcomes.h>

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

using namespace FWKit;
using namespace FWKit::NoticeCopy;
using Batches = QList<Batch>;
using Text = std::optional<QString>;
using ShrinkAnswer = FWTest::FakeManager::Answer<ShrinkResult>;

static const QString shortLink = "https://s.example/1";
static const auto notice = [](const QString &body) { return title + ": " + body; };

class AppModelTest : public QObject
{
    Q_OBJECT

    FWTest::FakeDesktop desktop;
    FWTest::FakeManager manager;
    FWTest::FakeCredentialStore keychain;
    std::unique_ptr<AppModel> model;

private slots:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(".*"));
        desktop = {};
        manager = {};
        keychain = {};
        model = std::make_unique<AppModel>(manager, keychain, desktop, desktop, desktop);
    }

    // What the fuzz target's properties cannot judge: a valid link refused, or one made of URI
    // characters only let through. A link is taken as typed: no normalisation of case, escapes
    // or dot segments.
    void clipboardLinks()
    {
        for (const QString link : { "https://Example.COM/a/../B:c@d/?q=1&r=%2F#Frag/?",
                 "https://user:p%40ss@ex%41mple.com:8080", "http://[::1]:8080/x",
                 "http://[2001:db8:0:0:0:0:2:1]/", "http://[1:2:3:4:5:6:7::]/",
                 "http://[::ffff:192.0.2.1]/", "http://[v1.fe:x]/" })
            QCOMPARE(Clipboard::validatedURLString(link), std::optional(link));
        for (const QString text : { "https://example.com/?q=[x]", "https://example.com/#a#b",
                 "http://example.com:http/", "http://[::1]x/", "http://[1:2:3:4:5:6:7]/",
                 "http://[1:2:3:4::5:6:7:8]/", "http://[12345::1]/", "http://[::ffff:256.0.0.1]/" })
            QVERIFY2(!Clipboard::validatedURLString(text), qPrintable(text));
    }

    // Only a notice with a non-empty link is a short link: copying an empty one would wipe the
    // clipboard and announce a link that does not exist.
    void answers_data()
    {
        QTest::addColumn<ShrinkAnswer>("answer");
        QTest::addColumn<bool>("copied");
        QTest::newRow("notice") << ShrinkAnswer({ "notice", shortLink, {} }) << true;
        QTest::newRow("no url") << ShrinkAnswer({ "notice", {}, "ok" }) << false;
        QTest::newRow("empty url") << ShrinkAnswer({ "notice", "", {} }) << false;
        QTest::newRow("not a notice") << ShrinkAnswer({ "error", shortLink, {} }) << false;
        QTest::newRow("error") << ShrinkAnswer(std::unexpected(FWError::httpStatus(500))) << false;
    }

    void answers()
    {
        QFETCH(ShrinkAnswer, answer);
        QFETCH(bool, copied);
        manager.shrinkAnswers = { answer };
        desktop.clipboard = " https://a.example/x\n";
        QSignalSpy made(model.get(), &AppModel::linkMade);
        const ShrinkOutcome outcome = FWTest::waitFor(model->newShrink());
        QCOMPARE(manager.calls, QStringList { "shrink https://a.example/x" }); // trimmed
        QCOMPARE(
            outcome, copied ? ShrinkOutcome::copied(shortLink) : ShrinkOutcome::failed(apiIssue));
        QCOMPARE(desktop.clipboard, copied ? shortLink : " https://a.example/x\n");
        QCOMPARE(
            desktop.log.last(), notice(copied ? formatted(shrinkCopied, shortLink) : apiIssue));
        QCOMPARE(made.size(), copied ? 1 : 0);
        const MadeLink shrunk { MadeLink::Kind::shrink, shortLink, "https://a.example/x", {} };
        QVERIFY(!copied || made[0][0].value<MadeLink>() == shrunk);
    }

    // Only a successful fetch changes the list, and only a change is announced; logged out,
    // nothing is fetched. Two refreshes may finish in either order: the answer that lands last
    // stays, as the older request's does here.
    void refreshes()
    {
        QSignalSpy changed(model.get(), &AppModel::batchesChanged);
        manager.hold = true;
        manager.batchAnswers = { Batches { { "a" } }, Batches { { "a" } },
            std::unexpected(FWError::httpStatus(503)), Batches { { "older" } },
            Batches { { "newer" } } };
        for (int i = 0; i < 3; ++i) {
            model->refreshBatches();
            manager.release(0);
        }
        QCOMPARE(std::pair(model->batches(), changed.size()),
            std::pair(Batches { { "a" } }, qsizetype(1)));
        model->refreshBatches();
        model->refreshBatches();
        manager.release(1);
        QCOMPARE(model->batches(), Batches { { "newer" } });
        manager.release(0);
        QCOMPARE(model->batches(), Batches { { "older" } });
        manager.loginDefined = false; // not fetched, not cleared
        model->refreshBatches();
        QCOMPARE(std::pair(model->batches(), manager.fetched.size()),
            std::pair(Batches { { "older" } }, qsizetype(5)));
    }

    // Each flow in flight then ends in its failure and touches nothing.
    void destroyedMidFlow()
    {
        manager.hold = true;
        manager.pasteAnswers = { PasteResult { "notice", shortLink, {} } };
        manager.batchAnswers = { Batches { { "a" } } };
        desktop.clipboard = "https://a.example/";
        auto shrink = model->newShrink();
        auto paste = model->submitPaste("x", "c");
        model->startPolling({});
        QTRY_COMPARE(manager.waiting.size(), 3); // and the poll's refresh
        model.reset();
        while (!manager.waiting.isEmpty())
            manager.release(0);
        QCOMPARE(FWTest::waitFor(std::move(shrink)), ShrinkOutcome::failed(apiIssue));
        QCOMPARE(FWTest::waitFor(std::move(paste)), PasteOutcome::failed(apiIssue));
        QVERIFY(desktop.log.isEmpty());
    }

    // The login goes into the host as typed: anything but one label over the site is refused.
    void userPages_data()
    {
        QTest::addColumn<Text>("login");
        QTest::addColumn<QString>("opened"); // empty: refused
        QTest::newRow("no login") << Text() << "";
        QTest::newRow("plain") << Text("jane-doe99") << "https://jane-doe99.ferrowick.app/b-1";
        QTest::newRow("capitals") << Text("Bob") << "https://bob.ferrowick.app/b-1";
        QTest::newRow("path and query") << Text("evil.example/x?") << "";
        QTest::newRow("user info") << Text("a@evil.example#") << "";
        QTest::newRow("deeper subdomain") << Text("evil.example") << "";
        QTest::newRow("fullwidth dot") << Text(u"evil\uFF0Eexample"_s) << "";
    }

    void userPages()
    {
        QFETCH(QString, opened);
        QFETCH(Text, login);
        keychain.storedLogin = login;
        QCOMPARE(model->openBatch({ "b-1" }), !opened.isEmpty());
        QCOMPARE(desktop.log, opened.isEmpty() ? QStringList() : QStringList { "open " + opened });
    }

    // Lower bounds only, so a slow machine cannot fail it. Qt's precise timers and steady_clock
    // read the same monotonic clock, so no slack is needed; the half millisecond rounds up.
    void polling()
    {
        using Clock = std::chrono::steady_clock;
        constexpr std::chrono::duration<double, std::milli> interval { 20.5 };
        manager.hold = true;
        const auto started = Clock::now();
        model->startPolling(interval);
        QVERIFY(manager.fetched.isEmpty()); // never at once
        QTRY_COMPARE(manager.waiting.size(), 1);
        QVERIFY(manager.fetched[0] >= started + interval);
        // A refresh lasting two intervals: no pass starts meanwhile. Stopped inside it, the loop
        // ends with it.
        QTRY_VERIFY(Clock::now() >= manager.fetched[0] + 2 * interval);
        model->stopPolling();
        manager.release(0);
        const auto stopped = Clock::now();
        QTRY_VERIFY(Clock::now() >= stopped + 2 * interval);
        QCOMPARE(manager.fetched.size(), 1);
        // NaN, infinite and negative intervals count as zero; one beyond a timer is capped.
        manager.hold = false;
        for (const double seconds : { std::nan(""), HUGE_VAL, -1.0, 1e7 }) {
            manager.fetched.clear();
            model->startPolling(std::chrono::duration<double>(seconds));
            if (seconds != 1e7)
                QTRY_VERIFY(!manager.fetched.isEmpty());
            QCoreApplication::processEvents();
            QCOMPARE(manager.fetched.isEmpty(), seconds == 1e7);
        }
    }
};

QTEST_GUILESS_MAIN(AppModelTest)
#include "AppModelTest.moc"
