#include "update/Appcast.h"

#include <QTest>

using namespace Ferrowick;
using namespace Qt::StringLiterals;

namespace {

const QByteArray sparkle = "http://www.andymatuschak.org/xml-namespaces/sparkle";

QByteArray feed(
    const QByteArray &items, const QByteArray &declaration = "xmlns:sparkle=\"" + sparkle + "\"")
{
    return "<?xml version=\"1.0\"?><rss version=\"2.0\" " + declaration + "><channel>" + items +
        "</channel></rss>";
}

QByteArray enclosure(const QByteArray &version)
{
    return "<item><enclosure url=\"https://e.test/f\" sparkle:version=\"" + version + "\"/></item>";
}

} // namespace

class AppcastTest : public QObject
{
    Q_OBJECT

private slots:
    void compareVersions_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order"); // -1, 0, 1; 2: not comparable

        QTest::newRow("numeric, not text") << u"1.10"_s << u"1.9"_s << 1;
        QTest::newRow("missing is zero") << u"1.0"_s << u"1.0.0"_s << 0;
        QTest::newRow("leading zeros") << u"1.02"_s << u"1.2"_s << 0;
        QTest::newRow("beyond 64 bits")
            << u"99999999999999999999"_s << u"99999999999999999998"_s << 1;
        QTest::newRow("pre-release older") << u"2.0b3"_s << u"2.0"_s << -1;
        QTest::newRow("pre-release newer than before") << u"2.0-rc.1"_s << u"1.9.9"_s << 1;
        QTest::newRow("suffix numbers numeric") << u"2.0b10"_s << u"2.0b9"_s << 1;
        QTest::newRow("suffix words") << u"2.0-alpha"_s << u"2.0-Beta"_s << -1;
        QTest::newRow("separators ignored") << u"2.0-rc.1"_s << u"2.0rc1"_s << 0;
        QTest::newRow("build metadata ignored") << u"1.0+build7"_s << u"1.0"_s << 0;
        QTest::newRow("empty") << u""_s << u"1.0"_s << 2;
        QTest::newRow("prefix") << u"v1.0"_s << u"1.0"_s << 2;
        QTest::newRow("double dot") << u"1..2"_s << u"1.0"_s << 2;
        QTest::newRow("trailing dot") << u"1."_s << u"1.0"_s << 2;
        QTest::newRow("space") << u"1.0 beta"_s << u"1.0"_s << 2;
    }

    void compareVersions()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);

        const auto sign = [](std::optional<std::weak_ordering> o) {
            return !o ? 2 : *o < 0 ? -1 : *o > 0 ? 1 : 0;
        };
        QCOMPARE(sign(Ferrowick::compareVersions(a, b)), order);
        QCOMPARE(sign(Ferrowick::compareVersions(b, a)), order == 2 ? 2 : -order);
    }

    void newestItem_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("version"); // empty: a decoding error

        QTest::newRow("newest of several")
            << feed(enclosure("1.9") + enclosure("1.10") + enclosure("1.2")) << u"1.10"_s;
        QTest::newRow("invalid versions skipped")
            << feed(enclosure("9.0 beta") + enclosure("1.1") + "<item><title>x</title></item>")
            << u"1.1"_s;
        QTest::newRow("version element")
            << feed("<item><sparkle:version>3.1</sparkle:version>"
                    "<sparkle:minimumSystemVersion>13</sparkle:minimumSystemVersion></item>")
            << u"3.1"_s;
        QTest::newRow("other prefix")
            << feed("<item><enclosure s:version=\"2.5\"/></item>", "xmlns:s=\"" + sparkle + "\"")
            << u"2.5"_s;
        QTest::newRow("default namespace")
            << feed("<item><version xmlns=\"" + sparkle + "\">4.0</version></item>") << u"4.0"_s;
        QTest::newRow("wrong namespace")
            << feed(enclosure("1.0"), "xmlns:sparkle=\"urn:x\"") << QString();
        QTest::newRow("undeclared prefix") << feed(enclosure("1.0"), "") << QString();
        QTest::newRow("no items") << feed("") << QString();
        QTest::newRow("truncated") << feed(enclosure("1.0")).chopped(8) << QString();
        QTest::newRow("garbage after the root") << feed(enclosure("1.0")) + "<x>" << QString();
        QTest::newRow("not RSS") << "<feed><item/></feed>"_ba << QString();
    }

    void newestItem()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, version);

        const auto newest = newestAppcastItem(xml);
        QCOMPARE(newest ? newest->version : QString(), version);
        if (!newest)
            QCOMPARE(newest.error().kind(), FWKit::FWError::Kind::Decoding);
    }

    void itemFields_data()
    {
        QTest::addColumn<QByteArray>("item");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QUrl>("download");

        QTest::newRow("enclosure, short version shown")
            << "<item><link>https://e.test/page</link><enclosure url=\"https://e.test/f\" "
               "sparkle:version=\"120\" sparkle:shortVersionString=\"1.2\"/></item>"_ba
            << u"1.2"_s << QUrl(u"https://e.test/f"_s);
        QTest::newRow("http enclosure: the https link")
            << "<item><link>https://e.test/page</link><enclosure url=\"http://e.test/f\" "
               "sparkle:version=\"1.2\"/></item>"_ba
            << u"1.2"_s << QUrl(u"https://e.test/page"_s);
        QTest::newRow("no https link at all")
            << "<item><link>ftp://e.test/</link><sparkle:version>1.2</sparkle:version></item>"_ba
            << u"1.2"_s << QUrl();
    }

    void itemFields()
    {
        QFETCH(QByteArray, item);
        QFETCH(QString, display);
        QFETCH(QUrl, download);

        const auto newest = newestAppcastItem(feed(item));
        QVERIFY(newest);
        QCOMPARE(newest->displayVersion(), display);
        QCOMPARE(newest->downloadUrl, download);
    }
};

QTEST_GUILESS_MAIN(AppcastTest)
#include "AppcastTest.moc"
