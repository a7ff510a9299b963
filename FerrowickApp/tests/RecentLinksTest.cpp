// The Recent list: its rows' labels and its private file.
#include "RecentLinks.h"

#include "AppTestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Ferrowick;
using namespace Qt::StringLiterals;
using Kind = FWKit::MadeLink::Kind;

class RecentLinksTest : public QObject
{
    Q_OBJECT

    const QDateTime now { QDate(2026, 12, 7), QTime(18, 0) };

private slots:
    // A damaged file is logged, and the log is the user's.
    void initTestCase()
    {
        SKIP_OUTSIDE_HARNESS();
        QLocale::setDefault(QLocale::c());
    }

    void labels_data()
    {
        QTest::addColumn<FWKit::MadeLink>("made");
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("label");
        const QString link = u"https://s.example/1"_s;
        QTest::newRow("short link: its host")
            << FWKit::MadeLink { Kind::shrink, link, u"https://www.example.com/a?t=1"_s, {} }
            << now.addSecs(-3600) << u"www.example.com \u2014 17:00"_s;
        QTest::newRow("paste: six words") << FWKit::MadeLink {
            Kind::paste, link, u"def main():\n  print(1)\n  return 2 + 3"_s, u"Python"_s
        } << now << u"Python: def main(): print(1) return 2 + \u2026 \u2014 18:00"_s;
        QTest::newRow("paste: forty characters, yesterday")
            << FWKit::MadeLink { Kind::paste, link, QString(50, u'x'), u"Plain Text"_s }
            << now.addSecs(-19 * 3600)
            << u"Plain Text: "_s + QString(40, u'x') + u" \u2026 \u2014 6 Dec 2026 23:00"_s;
    }
    void labels()
    {
        QFETCH(FWKit::MadeLink, made);
        QFETCH(QDateTime, when);
        QFETCH(QString, label);
        QCOMPARE(RecentLinks::label(RecentLinks::entry(made, when), now), label);
    }

    // Ten, newest first, the same link once, in a file only its owner reads that holds no more of
    // a long link than its host; kept across a restart.
    void keptPrivately()
    {
        QTemporaryDir home;
        const QString folder = home.filePath(u"state/Ferrowick"_s);
        {
            RecentLinks recent(folder);
            for (int i = 0; i < 12; ++i)
                recent.add(RecentLinks::entry({ Kind::shrink, u"https://s.example/%1"_s.arg(i % 11),
                                                  u"https://a.example/?t=secret%1"_s.arg(i), {} },
                    now));
        }
        RecentLinks recent(folder);
        QCOMPARE(recent.links().size(), RecentLinks::capacity);
        QCOMPARE(recent.links().first().link, u"https://s.example/0"_s);
        QCOMPARE(recent.links().last().link, u"https://s.example/2"_s);
        QFile file(recent.filePath());
        QCOMPARE((file.permissions() & 0x0077).toInt(), 0);
        QCOMPARE((QFile(folder).permissions() & 0x0077).toInt(), 0);
        QVERIFY(file.open(QIODevice::ReadOnly) && !file.readAll().contains("secret"));
    }

    void damagedFileIsSetAside_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not JSON") << QByteArray("[{\"kind\":");
        QTest::newRow("not a list") << QByteArray("{\"kind\":\"shrink\"}");
        QTest::newRow("row without a link")
            << QByteArray(R"([{"kind":"paste","subject":"x","made":"2026-12-07T10:00:00Z"}])");
    }
    void damagedFileIsSetAside()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir folder;
        QFile file(folder.filePath(u"recent.json"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        RecentLinks recent(folder.path());
        QVERIFY(recent.links().isEmpty() && !file.exists());
        QFile aside(file.fileName() + u".damaged"_s);
        QVERIFY(aside.open(QIODevice::ReadOnly) && aside.readAll() == content);
    }
};

QTEST_GUILESS_MAIN(RecentLinksTest)
#include "RecentLinksTest.moc"
