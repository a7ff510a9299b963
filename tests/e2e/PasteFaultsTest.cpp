#include "E2E.h"

#include <QUrl>

using namespace E2E;
using FWTest::Misbehaviour;

namespace {

const QString panelTitle = u"Paste"_s;
const QString pastePath = u"/api/paste"_s;

QByteArray primarySelection()
{
    return run(u"xclip"_s, { u"-selection"_s, u"primary"_s, u"-o"_s }, std::nullopt, false).output;
}

} // namespace

// The paste panel while the provider goes away in the middle of a submission: the text stays for
// another try, the failure shows on the panel, and the same text goes out once the provider is
// back where it was.
class PasteFaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!inHarness())
            QSKIP("only in the headless harness: never the user's clipboard or display");
        if (qEnvironmentVariable("FERROWICK_WM") != u"openbox"_s)
            QSKIP("needs the harness's window manager: the panel's keyboard focus is tested");
        QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s, {} } } }));
        QVERIFY(resetDesktop());
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
        m_app = std::make_unique<App>(m_provider);
        QVERIFY(m_app->start());
        QVERIFY(waitForRequest(m_provider, u"GET /api/valid_languages"_s));
    }

    void cleanupTestCase()
    {
        if (m_app)
            QVERIFY(m_app->stop());
    }

    void providerGoesAwayDuringSubmission_data()
    {
        QTest::addColumn<bool>("stops"); // else every connection drops unanswered
        QTest::newRow("provider stops") << true;
        QTest::newRow("connection dropped") << false;
    }
    void providerGoesAwayDuringSubmission()
    {
        QFETCH(bool, stops);
        QVERIFY(m_provider.reset());
        QVERIFY(clearNotices());
        // Qt sends a POST again on a dropped connection, three times: all of them must drop.
        QVERIFY(m_provider.misbehave(stops
                ? Misbehaviour { .path = pastePath, .delay = 10min }
                : Misbehaviour { .path = pastePath, .count = 0, .close = true }));
        const QString panel = openPanel();
        QVERIFY(!panel.isEmpty());
        const QString text = u"first line\n  second & 100%"_s;
        QVERIFY(typeText(text));
        QVERIFY(pressKeys({ u"ctrl+Return"_s }));
        QVERIFY2(waitForRequest(m_provider, u"POST "_s + pastePath), logDump());
        if (stops) {
            QVERIFY(m_provider.stop());
        }

        // A sheet on the panel says so; the panel stays, with the text as typed.
        const QString failure = waitForSheet(panel);
        QVERIFY(!failure.isEmpty());
        QVERIFY(sheetShows(failure, u"There was an issue contacting the API"_s));
        QVERIFY(pressKeys({ u"Tab"_s, u"space"_s })); // from the message to OK
        QVERIFY(QTest::qWaitFor(
            [&] { return windowsTitled(panelTitle) == QStringList { panel }; }, patienceMs));
        QVERIFY(waitForFocus(panel));
        QVERIFY(pressKeys({ u"ctrl+a"_s, u"ctrl+c"_s }));
        QVERIFY(QTest::qWaitFor([&] { return clipboard() == text.toUtf8(); }, patienceMs));
        // A failed paste has its sheet, and no notice.
        const std::optional<QList<Notice>> none = notices();
        QVERIFY(none && none->isEmpty());

        // Back where the program looks for it, the same submission goes through.
        if (stops) {
            QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s, {} } },
                .certificateFiles = m_provider.certificateFiles(),
                .port = quint16(m_provider.origin().port()) }));
        } else {
            QVERIFY(m_provider.reset());
        }
        QVERIFY(pressKeys({ u"ctrl+Return"_s }));
        QByteArray body;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         for (const FWTest::RecordedRequest &request : m_provider.requests()) {
                             if (request.path == pastePath)
                                 body = request.body;
                         }
                         return !body.isNull();
                     },
                     patienceMs),
            logDump());
        QCOMPARE(body, "language=Plain%20Text&paste=" + QUrl::toPercentEncoding(text));
        QVERIFY(!waitForSheet(panel).isEmpty());
        QString url;
        QVERIFY(QTest::qWaitFor(
            [&] {
                url = QString::fromUtf8(clipboard());
                return url.startsWith(m_provider.origin().toString() + u"/p/"_s);
            },
            patienceMs));
        QCOMPARE(m_provider.send("GET", QUrl(url)).body, text.toUtf8());
        QVERIFY(pressKeys({ u"space"_s }));
        QVERIFY2(waitForNoWindow(panelTitle), logDump());
        std::optional<QList<Notice>> shown;
        QVERIFY(
            QTest::qWaitFor([&] { return (shown = notices()) && !shown->isEmpty(); }, patienceMs));
        QCOMPARE(*shown,
            (QList { Notice { u"Notice"_s,
                u"The URL for the paste has been copied to your clipboard.\n\n"_s + url } }));
    }

private:
    // The shortcut, until the panel is on screen with the keyboard; its window, or empty.
    static QString openPanel()
    {
        if (!pressKeys({ u"ctrl+alt+shift+p"_s }) || !waitForWindow(panelTitle))
            return {};
        const QStringList windows = windowsTitled(panelTitle);
        return windows.size() == 1 && waitForFocus(windows.constFirst()) ? windows.constFirst()
                                                                         : QString();
    }

    // The result sheet over the panel, once it has the keyboard; empty if none came.
    static QString waitForSheet(const QString &panel)
    {
        QStringList windows;
        if (!QTest::qWaitFor(
                [&] { return (windows = windowsTitled(panelTitle)).size() == 2; }, patienceMs))
            return {};
        windows.removeOne(panel);
        return windows.size() == 1 && waitForFocus(windows.constFirst()) ? windows.constFirst()
                                                                         : QString();
    }

    // Whether the sheet's message reads so: a triple click on it selects it into the primary
    // selection. The message takes the keyboard from OK.
    static bool sheetShows(const QString &sheet, const QString &message)
    {
        const QSize size = windowSize(sheet);
        // The message's first line, just below the sheet's margin.
        return run(u"xdotool"_s,
                   { u"mousemove"_s, u"--window"_s, sheet, QString::number(size.width() / 2),
                       u"32"_s, u"click"_s, u"--repeat"_s, u"3"_s, u"--delay"_s, u"80"_s, u"1"_s })
                   .ok &&
            QTest::qWaitFor([&] { return primarySelection() == message.toUtf8(); }, patienceMs);
    }

    FWTest::FakeProviderProcess m_provider;
    std::unique_ptr<App> m_app;
};

QTEST_GUILESS_MAIN(PasteFaultsTest)
#include "PasteFaultsTest.moc"
