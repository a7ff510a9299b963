#include "platform/SystemPasteboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QTest>

using Ferrowick::SystemPasteboard;
using namespace Qt::StringLiterals;

namespace {

// Runs xclip while our event loop keeps answering its requests; its output, empty on failure.
// `xclip -i` leaves a forked owner behind, so its output goes nowhere; ~QProcess kills a hung one.
QByteArray xclip(const QStringList &arguments, const QByteArray &input = {})
{
    QProcess tool;
    const bool writes = arguments.contains(u"-i"_s);
    if (writes)
        tool.setStandardOutputFile(QProcess::nullDevice());
    tool.setStandardErrorFile(QProcess::nullDevice());
    tool.start(u"xclip"_s, QStringList { u"-selection"_s, u"clipboard"_s } + arguments);
    tool.write(input);
    tool.closeWriteChannel();
    if (!QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 10'000) ||
        tool.exitCode() != 0 || writes)
        return {};
    return tool.readAllStandardOutput();
}

QList<QByteArray> targets()
{
    return xclip({ u"-o"_s, u"-t"_s, u"TARGETS"_s }).split('\n');
}

} // namespace

class SystemPasteboardTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariable("FERROWICK_HARNESS") != u"1"_s ||
            qEnvironmentVariable("QT_QPA_PLATFORM") != u"xcb"_s)
            QSKIP("only in the headless harness: never the user's clipboard");
    }
    // Taking ownership ends the xclip owner a test left behind.
    void cleanupTestCase() { SystemPasteboard().setString({}); }

    void textBothWays_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << u"hello"_s;
        QTest::newRow("non-ascii, newlines") << u"Grüße, 世界 🦀\nline two\r\n\ttabbed\n"_s;
    }
    void textBothWays()
    {
        QFETCH(QString, text);
        xclip({ u"-i"_s }, text.toUtf8());
        QTRY_COMPARE(SystemPasteboard().string(), std::optional(text));

        const QString ours = text + u" (ours)"_s;
        SystemPasteboard().setString(ours);
        QCOMPARE(QString::fromUtf8(xclip({ u"-o"_s })), ours);
    }

    void setStringDropsOtherFormats()
    {
        auto *rich = new QMimeData;
        rich->setHtml(u"<b>bold</b>"_s);
        rich->setImageData(QImage(2, 2, QImage::Format_RGB32));
        QGuiApplication::clipboard()->setMimeData(rich);
        QVERIFY(targets().contains("text/html"));

        SystemPasteboard().setString(u"plain"_s);
        const QList<QByteArray> offered = targets();
        QVERIFY(offered.contains("UTF8_STRING"));
        for (const QByteArray &target : offered)
            QVERIFY2(!target.startsWith("text/html") && !target.startsWith("image/"), target);
    }

    void imageOnlyIsNothing()
    {
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(QImage(1, 1, QImage::Format_RGB32).save(&buffer, "PNG"));
        xclip({ u"-t"_s, u"image/png"_s, u"-i"_s }, png);
        QTRY_VERIFY(targets().contains("image/png"));
        QCOMPARE(SystemPasteboard().string(), std::nullopt);
    }
};

QTEST_MAIN(SystemPasteboardTest)
#include "SystemPasteboardTest.moc"
