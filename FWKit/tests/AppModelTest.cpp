#include "FWTestSupport.h"
#include "FakeCredentialStore.h"
#include "FakeDesktop.h"
#include "FakeManager.h"

#include <FWKit/AppModel.h>
#include <FWKit/Outcomes.h>

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

using namespace FWKit;
using namespace FWKit::NoticeCopy;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Batches = QList<Batch>;
using Text = std::optional<QString>;
using ShrinkAnswer = FWTest::FakeManager::Answer<ShrinkResult>;
using PasteAnswer = FWTest::FakeManager::Answer<PasteResult>;

static QString notice(const QString &body)
{
    return title + ": " + body;
}

// Polling checks are lower bounds only (a poll never comes early), so a slow machine cannot fail
// them. They need no slack: Qt's timers and steady_clock read the same monotonic clock, and the
// interval's half millisecond must be rounded up.
class AppModelTest : public QObject
{
    Q_OBJECT

    static constexpr std::chrono::duration<double, std::milli> interval { 20.5 };
    std::optional<FWTest::FakeDesktop> desktop;
    std::optional<FWTest::FakeManager> manager;
    std::optional<FWTest::FakeCredentialStore> keychain;
    std::unique_ptr<AppModel> model;

    std::unique_ptr<AppModel> make()
    {
        return std::make_unique<AppModel>(*manager, *keychain, *desktop, *desktop, *desktop);
    }

private slots:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(".*"));
        desktop.emplace();
        manager.emplace();
        keychain.emplace();
        model = make();
    }

    void cleanup() { model.reset(); }

    // Each answer, to a shrink and to a paste: what the user sees, in order, then the outcome.
    void answers_data()
    {
        QTest::addColumn<ShrinkAnswer>("answer");
        QTest::addColumn<QStringList>("shrink");
        QTest::addColumn<QStringList>("paste");
        const QString url = "https://s.example/1", failed = "failed(message: " + apiIssue + ")";
        const QString copy = "clipboard " + url, copied = "copied(url: " + url + ")";
        const QStringList issue { notice(apiIssue), failed };
        QTest::newRow("copied, then notice")
            << ShrinkAnswer({ "notice", url, {} })
            << QStringList { copy, notice(formatted(shrinkCopied, url)), copied }
            << QStringList { copy, notice(formatted(pasteCopied, url)), copied };
        QTest::newRow("no url") << ShrinkAnswer({ "notice", {}, "ok" }) << issue
                                << QStringList { "failed(message: ok)" };
        QTest::newRow("empty url")
            << ShrinkAnswer({ "notice", "", {} }) << issue << QStringList { failed };
        QTest::newRow("not a notice") << ShrinkAnswer({ "error", url, "Too long" }) << issue
                                      << QStringList { "failed(message: Too long)" };
        QTest::newRow("service error") << ShrinkAnswer(std::unexpected(FWError::httpStatus(500)))
                                       << issue << QStringList { failed };
    }

    void answers()
    {
        QFETCH(ShrinkAnswer, answer);
        manager->shrinkAnswers = { answer };
        manager->pasteAnswers = { answer
                ? PasteAnswer({ answer->type, answer->url, answer->result })
                : std::unexpected(answer.error()) };
        desktop->clipboard = " https://a.example/x\n";
        const QString shrunk = FWTest::waitFor(model->newShrink()).debugDescription();
        QTEST(desktop->log << shrunk, "shrink");
        desktop->log.clear();
        const QString pasted = FWTest::waitFor(model->submitPaste("  x\n", "c")).debugDescription();
        QTEST(desktop->log << pasted, "paste");
        // Trimmed link; the paste as typed.
        QCOMPARE(manager->calls, QStringList({ "shrink https://a.example/x", "paste c:   x\n" }));
    }

    void nothingSentWithoutInput()
    {
        QCOMPARE(FWTest::waitFor(model->newShrink()), ShrinkOutcome::invalidClipboard());
        desktop->clipboard = "ftp://a.example/x";
        QCOMPARE(FWTest::waitFor(model->newShrink()), ShrinkOutcome::invalidClipboard());
        const PasteOutcome missing = PasteOutcome::failed(missingFields);
        QCOMPARE(FWTest::waitFor(model->submitPaste(" \n\t", "c")), missing);
        QCOMPARE(FWTest::waitFor(model->submitPaste("x", std::nullopt)), missing);
        QCOMPARE(FWTest::waitFor(model->submitPaste("x", "")), missing);
        manager->loginDefined = false;
        QCOMPARE(FWTest::waitFor(model->submitPaste("", std::nullopt)), PasteOutcome::needsLogin());
        QCOMPARE(desktop->log, QStringList(2, notice(invalidURL))); // none from the paste
        QVERIFY(manager->calls.isEmpty());
    }

    void saveCredentials()
    {
        QStringList stored;
        keychain->alterWrites = [&](const QString &value) { return stored.append(value), value; };
        QCOMPARE(model->saveCredentials("", "pw"), SettingsOutcome::missingFields());
        QCOMPARE(model->saveCredentials("bob", ""), SettingsOutcome::missingFields());
        keychain->failLoginWrites = true;
        QCOMPARE(model->saveCredentials("bob", "pw1"), SettingsOutcome::saveFailed());
        keychain->failLoginWrites = false;
        keychain->failPasswordWrites = true;
        QCOMPARE(model->saveCredentials("bob", "pw2"), SettingsOutcome::saveFailed());
        keychain->failPasswordWrites = false;
        QCOMPARE(model->saveCredentials("bob", " "), SettingsOutcome::saved("bob"));
        // Both writes always, login first; a notice only when both were stored.
        QCOMPARE(keychain->writes, 6);
        QCOMPARE(stored, QStringList({ "pw1", "bob", "bob", " " }));
        QCOMPARE(desktop->log, QStringList { notice(formatted(prefsSaved, "bob")) });
    }

    void refreshKeepsTheLastGoodList()
    {
        QSignalSpy changed(model.get(), &AppModel::batchesChanged);
        const auto refresh = [&](FWTest::FakeManager::Answer<Batches> answer,
                                 bool loggedIn = true) {
            manager->loginDefined = loggedIn;
            manager->batchAnswers = { answer };
            model->refreshBatches();
            return std::pair(model->batches(), int(changed.count()));
        };
        const Batches ab { { "a" }, { "b" } }, ac { { "a" }, { "c" } }, a { { "a" } };
        QCOMPARE(refresh(ab), std::pair(ab, 1));
        QCOMPARE(refresh(ab), std::pair(ab, 1)); // equal: no notification
        QCOMPARE(refresh(std::unexpected(FWError::httpStatus(503))), std::pair(ab, 1));
        QCOMPARE(refresh(ac, false), std::pair(ab, 1)); // logged out: not fetched, not cleared
        QCOMPARE(refresh(ac), std::pair(ac, 2));
        QCOMPARE(refresh(a), std::pair(a, 3));
    }

    void flowsInFlightTogether()
    {
        manager->hold = true;
        manager->batchAnswers = { Batches { { "older" } }, Batches { { "newer" } } };
        manager->shrinkAnswers = { ShrinkResult { "notice", "https://s.example/1", {} } };
        desktop->clipboard = "https://a.example/";
        model->refreshBatches();
        auto shrink = model->newShrink();
        model->refreshBatches();
        QCOMPARE(manager->waiting.size(), 3);
        manager->release(1); // the shrink, while both refreshes wait
        QCOMPARE(FWTest::waitFor(std::move(shrink)), ShrinkOutcome::copied("https://s.example/1"));
        QVERIFY(model->batches().isEmpty());
        manager->release(1); // out of order: the later assignment wins
        QCOMPARE(model->batches(), Batches { { "newer" } });
        manager->release(0);
        QCOMPARE(model->batches(), Batches { { "older" } });
    }

    void destroyedMidFlow()
    {
        manager->hold = true;
        manager->shrinkAnswers = { ShrinkResult { "notice", "https://s.example/1", {} } };
        manager->pasteAnswers = { PasteResult { "notice", "https://p.example/1", {} } };
        manager->batchAnswers = { Batches { { "a" } } };
        desktop->clipboard = "https://a.example/";
        auto shrink = model->newShrink();
        auto paste = model->submitPaste("x", "c");
        model->startPolling(0s);
        QTRY_COMPARE(manager->waiting.size(), 3); // and the poll's refresh
        model.reset();
        while (!manager->waiting.isEmpty())
            manager->release(0);
        QCOMPARE(FWTest::waitFor(std::move(shrink)), ShrinkOutcome::failed(apiIssue));
        QCOMPARE(FWTest::waitFor(std::move(paste)), PasteOutcome::failed(apiIssue));
        QVERIFY(desktop->log.isEmpty());
    }

    void loadLanguages()
    {
        manager->languageAnswers = { QList<QString> { "C" } };
        QCOMPARE(FWTest::waitFor(model->loadLanguages()), QList<QString> { "C" });
        QCOMPARE(FWTest::waitFor(model->loadLanguages()), std::nullopt); // unscripted: an error
    }

    void userPages_data()
    {
        QTest::addColumn<Text>("login");
        QTest::addColumn<QString>("opened"); // empty: refused
        QTest::newRow("no login") << Text() << "";
        QTest::newRow("plain") << Text("jane-doe99") << "https://jane-doe99.ferrowick.app/";
        QTest::newRow("capitals") << Text("Bob") << "https://bob.ferrowick.app/";
        QTest::newRow("path and query") << Text("evil.example/x?") << "";
        QTest::newRow("user info") << Text("a@evil.example#") << "";
        QTest::newRow("deeper subdomain") << Text("evil.example") << "";
        QTest::newRow("fullwidth dot") << Text(u"evil\uFF0Eexample"_qs) << "";
    }

    void userPages()
    {
        QFETCH(Text, login);
        QFETCH(QString, opened);
        keychain->storedLogin = login;
        model->openFerrowick(); // needs no login
        QCOMPARE(model->newBatch(), !opened.isEmpty());
        QCOMPARE(model->openBatch({ "b-1" }), !opened.isEmpty());
        QStringList seen { "open https://ferrowick.app/" };
        if (!opened.isEmpty())
            seen.append({ "open " + opened + "upload", "open " + opened + "b-1" });
        QCOMPARE(desktop->log, seen);
    }

    void pollingLoop()
    {
        manager->hold = true;
        manager->batchAnswers = { Batches { { "old" } }, Batches { { "last" } } };
        const auto started = Clock::now();
        model->startPolling(interval);
        QTRY_COMPARE(manager->waiting.size(), 1);
        QVERIFY(manager->fetched[0] >= started + interval);
        // A refresh lasting two intervals: no pass starts meanwhile.
        QTRY_VERIFY(Clock::now() >= manager->fetched[0] + 2 * interval);
        QCOMPARE(manager->fetched.size(), 1);

        // Restarted inside it: the new loop's first pass comes one interval after the restart.
        const auto restarted = Clock::now();
        model->startPolling(interval);
        manager->release(0);
        QTRY_COMPARE(manager->waiting.size(), 1);
        QVERIFY(manager->fetched[1] >= restarted + interval);
        // Stopped inside a refresh: its result still lands, then the loop ends.
        model->stopPolling();
        manager->hold = false;
        manager->release(0);
        QCOMPARE(model->batches(), Batches { { "last" } });

        // Had the old or the stopped loop gone on, its fetches would fall between another's.
        const auto other = make();
        other->startPolling(interval);
        QTRY_VERIFY(manager->fetched.size() >= 6);
        for (qsizetype i = 3; i < manager->fetched.size(); ++i)
            QVERIFY(manager->fetched[i] - manager->fetched[i - 1] >= interval);
    }

    void oddIntervals_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<bool>("countsAsZero"); // else capped, far beyond the test
        QTest::newRow("NaN") << std::nan("") << true;
        QTest::newRow("infinity") << HUGE_VAL << true;
        QTest::newRow("negative") << -1.0 << true;
        QTest::newRow("beyond a timer") << 1e7 << false;
    }

    void oddIntervals()
    {
        QFETCH(double, seconds);
        QFETCH(bool, countsAsZero);
        model->startPolling(std::chrono::duration<double>(seconds));
        QVERIFY(manager->fetched.isEmpty()); // never at once
        if (countsAsZero)
            QTRY_VERIFY(manager->fetched.size() >= 2);
        QCoreApplication::processEvents();
        QCOMPARE(manager->fetched.isEmpty(), !countsAsZero);
    }
};

QTEST_GUILESS_MAIN(AppModelTest)
#include "AppModelTest.moc"
