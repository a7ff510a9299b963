#include "platform/WaylandClipboard.h"

#include "AppTestSupport.h"

#include <QProcess>
#include <QTest>

#include <csignal>

using Ferrowick::WaylandClipboard;
using namespace Qt::StringLiterals;

namespace {

// Another client's copy, served by the owner wl-copy leaves behind. (wl-copy 2.1 garbles the type
// it guesses for its input: name it.)
std::optional<QByteArray> wlCopy(const QByteArray &bytes, const QString &type)
{
    return FWTest::runTool(u"wl-copy"_s, { u"--type"_s, type }, bytes);
}

const QString utf8Text = u"text/plain;charset=utf-8"_s;

} // namespace

// Data-control is there in the harness's KWin session (scripts/headless --session=kwin).
#define SKIP_OUTSIDE_KWIN()                                                                        \
    SKIP_OUTSIDE_HARNESS();                                                                        \
    if (qEnvironmentVariable("FERROWICK_SESSION") != u"kwin"_s)                                    \
    QSKIP("needs the KWin session")

class WaylandClipboardTest : public QObject
{
    Q_OBJECT

private slots:
    void textBothWays_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << u"https://example.org/a?b=c"_s;
        QTest::newRow("non-ASCII, line breaks") << u"Grüße, 世界 🦀\nline two\r\n\ttabbed"_s;
        // More than a pipe holds: both ends must keep going until the reader has it all.
        QTest::newRow("larger than a pipe") << u"0123456789 äöü ✓\n"_s.repeated(12'000);
        QTest::newRow("empty") << QString();
    }
    void textBothWays()
    {
        SKIP_OUTSIDE_KWIN();
        QFETCH(QString, text);
        const auto clipboard = WaylandClipboard::connect();
        QVERIFY(clipboard);

        // Ours is answered from memory at once, and served to other clients.
        clipboard->setString(text);
        QCOMPARE(clipboard->string(), std::optional(text));
        QTRY_COMPARE(FWTest::runTool(u"wl-paste"_s, { u"-n"_s }), std::optional(text.toUtf8()));

        // Another client's copy replaces ours; its text comes from its owner.
        const QString theirs = text + u" ✓"_s;
        QVERIFY(wlCopy(theirs.toUtf8(), utf8Text));
        QTRY_COMPARE(clipboard->string(), std::optional(theirs));
    }

    void otherThanTextReadsAsNothing()
    {
        SKIP_OUTSIDE_KWIN();
        const auto clipboard = WaylandClipboard::connect();
        QVERIFY(clipboard);
        QVERIFY(wlCopy("text first", utf8Text));
        QTRY_COMPARE(clipboard->string(), std::optional(u"text first"_s));
        QVERIFY(wlCopy("\x89PNG\r\n", u"image/png"_s));
        QTRY_COMPARE(clipboard->string(), std::nullopt);
    }

    void stalledOwnerIsGivenUpOn()
    {
        SKIP_OUTSIDE_KWIN();
        const auto clipboard = WaylandClipboard::connect();
        QVERIFY(clipboard);
        QProcess owner; // in the foreground, so that it can be stopped
        owner.start(u"wl-copy"_s, { u"--foreground"_s, u"stalled"_s });
        QTRY_COMPARE(clipboard->string(), std::optional(u"stalled"_s));

        ::kill(pid_t(owner.processId()), SIGSTOP);
        const auto text = clipboard->string();
        ::kill(pid_t(owner.processId()), SIGCONT);
        owner.kill();
        owner.waitForFinished();
        QCOMPARE(text, std::nullopt);
    }

    void nothingWithoutDataControl()
    {
        // The X11 session has no Wayland display; weston has no data-control.
        SKIP_OUTSIDE_HARNESS();
        if (qEnvironmentVariable("FERROWICK_SESSION") == u"kwin"_s)
            QSKIP("KWin has data-control");
        QVERIFY(!WaylandClipboard::connect());
    }
};

QTEST_GUILESS_MAIN(WaylandClipboardTest)
#include "WaylandClipboardTest.moc"
