#include "FWTestSupport.h"
#include "FakeDesktop.h"
#include "FakeManager.h"

#include <FWKit/AppModel.h>
#include <FWKit/NoticeCopy.h>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

using namespace FWKit;
using namespace FWKit::NoticeCopy;
using namespace std::chrono_literals;
using FWTest::FakeManager;
using std::chrono::nanoseconds;
using Text = std::optional<QString>;
using Batches = QList<Batch>;

namespace {

// Writes go to the shared log, and each of the two can be refused.
class Keychain final : public CredentialStoring
{
public:
    explicit Keychain(QStringList &events)
        : m_events(events)
    {
    }
    Text storedLogin;
    bool refuseLogin = false;
    bool refusePassword = false;

    Text login() const override { return storedLogin; }
    Text password() const override { return std::nullopt; }
    bool setLogin(const QString &value) override { return write("login ", value, refuseLogin); }
    bool setPassword(const QString &value) override
    {
        return write("password ", value, refusePassword);
    }

private:
    bool write(const QString &account, const QString &value, bool refuse)
    {
        m_events.append("set " + account + value + (refuse ? " refused" : ""));
        return !refuse;
    }
    QStringList &m_events;
};

QString notice(const QString &body)
{
    return title + ": " + body;
}

} // namespace

// Polling runs with intervals of tens of milliseconds. Its timing checks are lower bounds only (a
// poll never comes early), so a slow machine cannot fail them; 1 ms of slack covers clock rounding.
class AppModelTest : public QObject
{
    Q_OBJECT

    std::optional<FWTest::FakeDesktop> desktop;
    std::optional<FakeManager> manager;
    std::optional<Keychain> keychain;
    std::vector<std::unique_ptr<AppModel>> models;
    QElapsedTimer clock;
    QList<nanoseconds> fetches; // when each batches() call came

    AppModel &newModel()
    {
        models.push_back(
            std::make_unique<AppModel>(*manager, *keychain, *desktop, *desktop, *desktop));
        return *models.back();
    }
    AppModel &model() { return *models.front(); }
    nanoseconds now() const { return nanoseconds(clock.nsecsElapsed()); }
    // One loop: no two fetches from `from` on closer than the interval.
    bool spacedBy(nanoseconds interval, qsizetype from) const
    {
        for (qsizetype i = from + 1; i < fetches.size(); ++i) {
            if (fetches[i] - fetches[i - 1] < interval - 1ms)
                return false;
        }
        return true;
    }

private slots:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(".*"));
        desktop.emplace();
        manager.emplace(desktop->events);
        keychain.emplace(desktop->events);
        newModel();
        fetches.clear();
        manager->onCall = [this](const QString &operation) {
            if (operation == "batches")
                fetches.append(now());
        };
        clock.start();
    }

    void cleanup()
    {
        models.clear();
        manager.reset();
    }

    void newShrink_data()
    {
        using Answer = FakeManager::Answer<ShrinkResult>;
        QTest::addColumn<Text>("clipboard");
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QStringList>("events");

        const QString link = "https://a.example/x?y=1", short1 = "https://s.example/1";
        const QString failed = "failed(message: " + apiIssue + ")";
        const QStringList issue { "shrink " + link, notice(apiIssue) };
        const QStringList invalid { notice(invalidURL) };
        QTest::newRow("copied, then notice")
            << Text(" " + link + "\n") << Answer({ "notice", short1, {} })
            << "copied(url: " + short1 + ")"
            << QStringList { "shrink " + link, "clipboard " + short1,
                   notice(formatted(shrinkCopied, short1)) };
        QTest::newRow("empty clipboard") << Text() << Answer() << "invalidClipboard" << invalid;
        QTest::newRow("ftp") << Text("ftp://a.example/x") << Answer() << "invalidClipboard"
                             << invalid;
        QTest::newRow("no url") << Text(link) << Answer({ "notice", {}, "ok" }) << failed << issue;
        QTest::newRow("empty url") << Text(link) << Answer({ "notice", "", {} }) << failed << issue;
        QTest::newRow("not a notice")
            << Text(link) << Answer({ "error", short1, {} }) << failed << issue;
        QTest::newRow("service error")
            << Text(link) << Answer(std::unexpected(FWError::httpStatus(500))) << failed << issue;
    }

    void newShrink()
    {
        QFETCH(Text, clipboard);
        QFETCH(FakeManager::Answer<ShrinkResult>, answer);
        QFETCH(QString, outcome);
        QFETCH(QStringList, events);

        desktop->clipboard = clipboard;
        manager->shrinkAnswers.push_back(answer);
        QCOMPARE(FWTest::waitFor(model().newShrink()).debugDescription(), outcome);
        QCOMPARE(desktop->events, events);
    }

    void submitPaste_data()
    {
        using Answer = FakeManager::Answer<PasteResult>;
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Text>("language");
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QStringList>("events");

        const QString url = "https://p.example/1",
                      missing = "failed(message: " + missingFields + ")";
        const QStringList checked { "loginDefined?" }, sent { "loginDefined?", "paste c: x" };
        QTest::newRow("login first")
            << false << "" << Text() << Answer() << "needsLogin" << checked;
        QTest::newRow("blank") << true << " \n\t" << Text("c") << Answer() << missing << checked;
        QTest::newRow("no language") << true << "x" << Text() << Answer() << missing << checked;
        QTest::newRow("empty language")
            << true << "x" << Text("") << Answer() << missing << checked;
        QTest::newRow("copied, text as typed")
            << true << "  x\n"
            << Text("c") << Answer({ "notice", url, {} }) << "copied(url: " + url + ")"
            << QStringList { "loginDefined?", "paste c:   x\n", "clipboard " + url,
                   notice(formatted(pasteCopied, url)) };
        QTest::newRow("refused") << true << "x" << Text("c") << Answer({ "error", url, "Too long" })
                                 << "failed(message: Too long)" << sent;
        QTest::newRow("refused silently") << true << "x" << Text("c") << Answer({ "error", {}, {} })
                                          << "failed(message: " + apiIssue + ")" << sent;
        QTest::newRow("service error")
            << true << "x" << Text("c") << Answer(std::unexpected(FWError::decoding("bad")))
            << "failed(message: " + apiIssue + ")" << sent;
    }

    void submitPaste()
    {
        QFETCH(bool, loggedIn);
        QFETCH(QString, text);
        QFETCH(Text, language);
        QFETCH(FakeManager::Answer<PasteResult>, answer);
        QFETCH(QString, outcome);
        QFETCH(QStringList, events);

        manager->loginDefined = loggedIn;
        manager->pasteAnswers.push_back(answer);
        QCOMPARE(FWTest::waitFor(model().submitPaste(text, language)).debugDescription(), outcome);
        QCOMPARE(desktop->events, events);
    }

    void saveCredentials()
    {
        QCOMPARE(model().saveCredentials("", "pw"), SettingsOutcome::missingFields());
        QCOMPARE(model().saveCredentials("bob", ""), SettingsOutcome::missingFields());
        keychain->refuseLogin = true;
        QCOMPARE(model().saveCredentials("bob", "pw"), SettingsOutcome::saveFailed());
        keychain->refuseLogin = false;
        keychain->refusePassword = true;
        QCOMPARE(model().saveCredentials("bob", "pw"), SettingsOutcome::saveFailed());
        keychain->refusePassword = false;
        QCOMPARE(model().saveCredentials("bob", " "), SettingsOutcome::saved("bob"));
        // Both writes always, login first; a notice only when both were stored.
        QCOMPARE(desktop->events,
            QStringList({ "set login bob refused", "set password pw", "set login bob",
                "set password pw refused", "set login bob", "set password  ",
                notice(formatted(prefsSaved, "bob")) }));
    }

    void refreshKeepsTheLastGoodList()
    {
        QSignalSpy changed(&model(), &AppModel::batchesChanged);
        const Batches ab { { "a" }, { "b" } }, ac { { "a" }, { "c" } }, a { { "a" } };
        const struct
        {
            FakeManager::Answer<Batches> answer;
            bool loggedIn;
            Batches batches;
            int changes;
        } steps[] = {
            { ab, true, ab, 1 },
            { ab, true, ab, 1 }, // equal: no notification
            { std::unexpected(FWError::httpStatus(503)), true, ab, 1 },
            { ac, false, ab, 1 }, // logged out: nothing fetched, nothing cleared
            { ac, true, ac, 2 },
            { a, true, a, 3 },
        };
        for (const auto &step : steps) {
            manager->loginDefined = step.loggedIn;
            manager->batchAnswers = { step.answer };
            model().refreshBatches();
            QCOMPARE(model().batches(), step.batches);
            QCOMPARE(changed.count(), step.changes);
            QCOMPARE(manager->batchAnswers.empty(), step.loggedIn);
        }
        QCOMPARE(model().property("batches").value<Batches>(), a);
    }

    void flowsInFlightTogether()
    {
        manager->held = { "batches", "shrink" };
        manager->batchAnswers = { Batches { { "older" } }, Batches { { "newer" } } };
        manager->shrinkAnswers = { ShrinkResult { "notice", "https://s.example/1", {} } };
        desktop->clipboard = "https://a.example/";
        model().refreshBatches();
        auto shrink = model().newShrink();
        model().refreshBatches();
        const QList<int> tickets = manager->waiting();
        QCOMPARE(tickets.size(), 3);

        manager->release(tickets[1]);
        QCOMPARE(FWTest::waitFor(std::move(shrink)), ShrinkOutcome::copied("https://s.example/1"));
        QVERIFY(model().batches().isEmpty());
        // Out of order: the later assignment wins.
        manager->release(tickets[2]);
        QCOMPARE(model().batches(), Batches { { "newer" } });
        manager->release(tickets[0]);
        QCOMPARE(model().batches(), Batches { { "older" } });
    }

    void destroyedMidFlow()
    {
        manager->held = { "batches", "shrink", "paste" };
        manager->batchAnswers = { Batches { { "a" } } };
        manager->shrinkAnswers = { ShrinkResult { "notice", "https://s.example/1", {} } };
        manager->pasteAnswers = { PasteResult { "notice", "https://p.example/1", {} } };
        desktop->clipboard = "https://a.example/";
        model().refreshBatches();
        auto shrink = model().newShrink();
        auto paste = model().submitPaste("x", "c");
        QCOMPARE(manager->waiting().size(), 3);
        models.clear();

        const QStringList before = desktop->events;
        for (const int ticket : manager->waiting())
            manager->release(ticket);
        QCOMPARE(FWTest::waitFor(std::move(shrink)), ShrinkOutcome::failed(apiIssue));
        QCOMPARE(FWTest::waitFor(std::move(paste)), PasteOutcome::failed(apiIssue));
        QCOMPARE(desktop->events, before);
    }

    void loadLanguages()
    {
        manager->languageAnswers = { QList<QString> { "C" },
            std::unexpected(FWError::transport("")) };
        QCOMPARE(FWTest::waitFor(model().loadLanguages()), QList<QString> { "C" });
        QCOMPARE(FWTest::waitFor(model().loadLanguages()), std::nullopt);
    }

    void userPages_data()
    {
        QTest::addColumn<Text>("login");
        QTest::addColumn<Text>("batch"); // none: newBatch()
        QTest::addColumn<QString>("opened"); // none: refused

        QTest::newRow("no login") << Text() << Text() << "";
        QTest::newRow("empty login") << Text("") << Text() << "";
        QTest::newRow("new batch")
            << Text("jane-doe99") << Text() << "https://jane-doe99.ferrowick.app/upload";
        QTest::newRow("batch") << Text("Bob") << Text("b-1") << "https://bob.ferrowick.app/b-1";
        QTest::newRow("path and query") << Text("evil.example/x?") << Text() << "";
        QTest::newRow("user info") << Text("a@evil.example#") << Text() << "";
        QTest::newRow("user info, own host") << Text("x@bob") << Text() << "";
        QTest::newRow("port") << Text("evil.example:443/") << Text() << "";
        QTest::newRow("deeper subdomain") << Text("evil.example") << Text() << "";
        QTest::newRow("fullwidth dot") << Text(u"evil\uFF0Eexample"_qs) << Text() << "";
        QTest::newRow("no path") << Text("bob") << Text("a b") << "";
    }

    void userPages()
    {
        QFETCH(Text, login);
        QFETCH(Text, batch);
        QFETCH(QString, opened);

        keychain->storedLogin = login;
        QCOMPARE(batch ? model().openBatch({ *batch }) : model().newBatch(), !opened.isEmpty());
        QCOMPARE(
            desktop->events, opened.isEmpty() ? QStringList() : QStringList { "open " + opened });

        desktop->events.clear();
        model().openFerrowick(); // needs no login
        QCOMPARE(desktop->events, QStringList { "open https://ferrowick.app/" });
    }

    void pollsOneIntervalAfterEachRefresh()
    {
        const auto interval = 40ms;
        manager->held = { "batches" };
        manager->batchAnswers = { Batches { { "a" } } };
        model().startPolling(interval);
        QTRY_COMPARE(manager->waiting().size(), 1);
        QVERIFY(fetches[0] >= interval - 1ms);

        // A refresh that takes two intervals: no pass starts meanwhile, and the next one comes a
        // full interval after it has finished.
        QTRY_VERIFY(now() >= fetches[0] + 2 * interval);
        QCOMPARE(fetches.size(), 1);
        const nanoseconds finished = now();
        manager->release(manager->waiting().first());
        QCOMPARE(model().batches(), Batches { { "a" } });
        QTRY_COMPARE(fetches.size(), 2);
        QVERIFY(fetches[1] >= finished + interval - 1ms);
    }

    void restartLeavesOneLoop()
    {
        const auto interval = 30ms;
        manager->held = { "batches" };
        manager->batchAnswers = { Batches { { "old" } } };
        model().startPolling(interval);
        QTRY_COMPARE(manager->waiting().size(), 1);

        // Restarted inside a refresh: that refresh still lands, then the old loop ends.
        manager->held.clear();
        const nanoseconds restarted = now();
        model().startPolling(interval);
        manager->release(manager->waiting().first());
        QCOMPARE(model().batches(), Batches { { "old" } });
        QTRY_VERIFY(fetches.size() >= 4);
        QVERIFY(fetches[1] >= restarted + interval - 1ms);
        QVERIFY(spacedBy(interval, 1));
    }

    void stopAndDestructionEndTheLoop()
    {
        const auto interval = 20ms;
        manager->held = { "batches" };
        manager->batchAnswers = { Batches { { "gone" } }, Batches { { "last" } } };
        model().startPolling(interval);
        QTRY_COMPARE(manager->waiting().size(), 1);
        models.clear(); // destroyed inside its refresh
        manager->release(manager->waiting().first());

        AppModel &stopped = newModel();
        stopped.stopPolling(); // nothing running: harmless
        stopped.startPolling(interval);
        QTRY_COMPARE(manager->waiting().size(), 1);
        stopped.stopPolling(); // inside its refresh: the result still lands, the loop ends
        manager->held.clear();
        manager->release(manager->waiting().first());
        QCOMPARE(stopped.batches(), Batches { { "last" } });

        // Had the stopped or the destroyed loop gone on, two fetches would come close together.
        newModel().startPolling(interval);
        QTRY_VERIFY(fetches.size() >= 5);
        QVERIFY(spacedBy(interval, 1));
    }

    void unusableIntervals_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<bool>("countedAsZero"); // else: far beyond the test

        QTest::newRow("NaN") << std::nan("") << true;
        QTest::newRow("infinity") << HUGE_VAL << true;
        QTest::newRow("negative") << -1.0 << true;
        QTest::newRow("beyond 2^64 ns") << 1e300 << false;
        QTest::newRow("beyond one timer") << 1e7 << false;
    }

    void unusableIntervals()
    {
        QFETCH(double, seconds);
        QFETCH(bool, countedAsZero);

        model().startPolling(std::chrono::duration<double>(seconds));
        QVERIFY(fetches.isEmpty());
        if (countedAsZero)
            QTRY_VERIFY(fetches.size() >= 2);
        QCoreApplication::processEvents();
        QCOMPARE(fetches.isEmpty(), !countedAsZero);
    }
};

QTEST_GUILESS_MAIN(AppModelTest)
#include "AppModelTest.moc"
