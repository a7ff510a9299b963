#include "platform/SystemPasteboard.h"

#include "AppTestSupport.h"

#include <QProcess>
#include <QTest>

using Ferrowick::SystemPasteboard;
using namespace Qt::StringLiterals;

namespace {

// Runs xclip while our event loop keeps answering its requests; its output. (`xclip -i` leaves a
// forked owner behind.)
QByteArray xclip(const QStringList &arguments, const QByteArray &input = {})
{
    QProcess tool;
    tool.start(u"xclip"_s, QStringList { u"-selection"_s, u"clipboard"_s } + arguments);
    tool.write(input);
    tool.closeWriteChannel();
    // A hung one shows in what the caller checks.
    (void)QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 10'000);
    return tool.readAllStandardOutput();
}

} // namespace

class SystemPasteboardTest : public QObject
{
    Q_OBJECT

private slots:
    void textBothWaysAndAnImageIsNoText()
    {
        SKIP_OUTSIDE_HARNESS(); // never the user's clipboard
        xclip({ u"-t"_s, u"image/png"_s, u"-i"_s }, "\x89PNG\r\n");
        QTRY_VERIFY(xclip({ u"-o"_s, u"-t"_s, u"TARGETS"_s }).contains("image/png"));
        QCOMPARE(SystemPasteboard().string(), std::nullopt);

        // Ours replaces what was there: no format of the previous owner stays on offer.
        const QString text = u"Grüße, 世界 🦀\nline two\r\n\ttabbed"_s;
        SystemPasteboard().setString(text);
        QCOMPARE(QString::fromUtf8(xclip({ u"-o"_s })), text);
        QVERIFY(!xclip({ u"-o"_s, u"-t"_s, u"TARGETS"_s }).contains("image/"));

        xclip({ u"-i"_s }, (text + u"!"_s).toUtf8());
        QTRY_COMPARE(SystemPasteboard().string(), std::optional(text + u"!"_s));
    }
};

QTEST_MAIN(SystemPasteboardTest)
#include "SystemPasteboardTest.moc"
