#include "E2E.h"

#include <QUrl>

using namespace E2E;

// The shrink shortcut on one running program: what the provider receives, what lands on the
// clipboard and what the notification says.
class ShrinkTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!inHarness())
            QSKIP("only in the headless harness: never the user's clipboard or display");
        QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s, {} } } }));
        QVERIFY(resetDesktop());
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
        m_app = std::make_unique<App>(m_provider);
        QVERIFY(m_app->start());
    }

    void cleanupTestCase()
    {
        if (m_app)
            QVERIFY(m_app->stop());
    }

    void shortcutShrinksTheClipboard_data()
    {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<int>("serverStatus"); // 0: the provider answers as usual
        QTest::addColumn<QString>("sent"); // the link the provider gets; empty: no request
        QTest::addColumn<QString>("notice"); // "%1" is the short link

        // Every character here but the letters is percent-encoded in the form.
        const QString link = u"https://example.com/a/../b;p?q=1&r=a+b%20c#top"_s;
        QTest::newRow("link with spaces around") << u" \t "_s + link +
                u"  \n"_s << 0 << link << u"The url has been copied to your clipboard\n\n%1"_s;
        QTest::newRow("not http") << u"ftp://example.com/file"_s << 0 << QString()
                                  << u"You do not have a valid URL in your clipboard"_s;
        QTest::newRow("server error")
            << u"https://example.com/"_s << 500 << u"https://example.com/"_s
            << u"There was an issue contacting the API"_s;
    }
    void shortcutShrinksTheClipboard()
    {
        QFETCH(QString, clipboard);
        QFETCH(int, serverStatus);
        QFETCH(QString, sent);
        QFETCH(QString, notice);
        QVERIFY(m_provider.reset());
        QVERIFY(clearNotices());
        if (serverStatus != 0) {
            QVERIFY(m_provider.misbehave({ .path = u"/api/shrink"_s, .status = serverStatus }));
        }
        const qsizetype before = messagesStartingWith(u"newShrink outcome: "_s).size();
        ClipboardOwner owner;
        QVERIFY(owner.set(clipboard.toUtf8()));

        QVERIFY(pressKeys({ u"ctrl+alt+shift+s"_s }));
        QVERIFY2(waitForLog(u"newShrink outcome: "_s, before + 1), logDump());
        QVERIFY(messagesStartingWith(u"hotkey: "_s).endsWith(u"hotkey: newShrink"_s));
        const QString outcome = messagesStartingWith(u"newShrink outcome: "_s).constLast();

        QList<QByteArray> bodies;
        for (const FWTest::RecordedRequest &request : m_provider.requests()) {
            if (request.path == u"/api/shrink"_s)
                bodies << request.body;
        }
        if (sent.isEmpty())
            QCOMPARE(bodies, QList<QByteArray>());
        else
            QCOMPARE(bodies, QList { "url=" + QUrl::toPercentEncoding(sent) });

        QString shortLink;
        if (notice.contains(u"%1"_s)) {
            const QString copied = u"newShrink outcome: copied(url: "_s;
            QVERIFY2(outcome.startsWith(copied) && outcome.endsWith(u')'), qPrintable(outcome));
            shortLink = outcome.sliced(copied.size()).chopped(1);
            QVERIFY2(shortLink.startsWith(m_provider.origin().toString() + u"/s/"_s),
                qPrintable(shortLink));
            QCOMPARE(QString::fromUtf8(E2E::clipboard()), shortLink);
            notice = notice.arg(shortLink);
        } else {
            QCOMPARE(QString::fromUtf8(E2E::clipboard()), clipboard);
        }

        std::optional<QList<Notice>> shown;
        QVERIFY(
            QTest::qWaitFor([&] { return (shown = notices()) && !shown->isEmpty(); }, patienceMs));
        QCOMPARE(*shown, (QList { Notice { u"Notice"_s, notice } }));
    }

private:
    FWTest::FakeProviderProcess m_provider;
    std::unique_ptr<App> m_app;
};

QTEST_GUILESS_MAIN(ShrinkTest)
#include "ShrinkTest.moc"
