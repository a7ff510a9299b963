#include "E2E.h"

#include <QUrl>

using namespace E2E;

namespace {

const QString panelTitle = u"Paste"_s;

} // namespace

// The paste panel of one running program, used from the keyboard: what the provider receives,
// what lands on the clipboard, and how the panel goes away.
class PastePanelTest : public QObject
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
        // The launch asks for the languages last. Its answer is handled long before the picker
        // is used: the panel opens and a line is typed first.
        QVERIFY(waitForRequest(m_provider, u"GET /api/valid_languages"_s));
    }

    void cleanupTestCase()
    {
        if (m_app)
            QVERIFY(m_app->stop());
    }

    void init() { QVERIFY(m_provider.reset()); }

    void submissionReachesTheProvider()
    {
        const QString panel = openPanel();
        QVERIFY(!panel.isEmpty());
        const QString text = u"puts \"50% & more\"\n# 1 + 1 = 2"_s;
        QVERIFY(typeText(text));
        // Back over Submit to the language picker; "ru" picks Ruby before Rust.
        QVERIFY(pressKeys({ u"shift+Tab"_s, u"shift+Tab"_s }));
        QVERIFY(typeText(u"ru"_s));
        QVERIFY(pressKeys({ u"ctrl+Return"_s }));

        QByteArray body;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         for (const FWTest::RecordedRequest &request : m_provider.requests()) {
                             if (request.path == u"/api/paste"_s)
                                 body = request.body;
                         }
                         return !body.isNull();
                     },
                     patienceMs),
            logDump());
        QCOMPARE(body, "language=Ruby&paste=" + QUrl::toPercentEncoding(text));

        // The result sheet: a second window of that title, with the keyboard.
        QStringList windows;
        QVERIFY(QTest::qWaitFor(
            [&] { return (windows = windowsTitled(panelTitle)).size() == 2; }, patienceMs));
        windows.removeOne(panel);
        QVERIFY(waitForFocus(windows.constFirst()));
        const QString url = QString::fromUtf8(clipboard());
        QVERIFY2(url.startsWith(m_provider.origin().toString() + u"/p/"_s), qPrintable(url));
        QCOMPARE(m_provider.send("GET", QUrl(url)).body, text.toUtf8());

        QVERIFY(pressKeys({ u"space"_s })); // on OK
        QVERIFY2(waitForNoWindow(panelTitle), logDump());
    }

    void panelCloses_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("shortcut again") << u"ctrl+alt+shift+p"_s;
        QTest::newRow("Escape") << u"Escape"_s;
    }
    void panelCloses()
    {
        QFETCH(QString, key);
        const qsizetype toggles = messagesStartingWith(u"hotkey: togglePaste"_s).size();
        QVERIFY(!openPanel().isEmpty());
        QVERIFY(pressKeys({ key }));
        QVERIFY2(waitForNoWindow(panelTitle), logDump());
        QCOMPARE(messagesStartingWith(u"hotkey: togglePaste"_s).size(),
            toggles + (key == u"Escape"_s ? 1 : 2));
        QVERIFY(m_provider.requests().isEmpty());
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

    FWTest::FakeProviderProcess m_provider;
    std::unique_ptr<App> m_app;
};

QTEST_GUILESS_MAIN(PastePanelTest)
#include "PastePanelTest.moc"
