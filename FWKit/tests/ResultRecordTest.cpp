#include <FWKit/Batch.h>
#include <FWKit/JSONDecoding.h>
#include <FWKit/ResultRecord.h>

#include <QJsonDocument>
#include <QTest>

using namespace FWKit;

using OptionalString = std::optional<QString>;

class ResultRecordTest : public QObject
{
    Q_OBJECT

private slots:
    void decodesResultObjects_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<QString>("type");
        QTest::addColumn<OptionalString>("url");
        QTest::addColumn<OptionalString>("result");
        QTest::addColumn<bool>("isNotice");

        const OptionalString none;
        QTest::newRow("notice with url") << QByteArray(R"({"type":"notice","url":"u"})") << true
                                         << "notice" << OptionalString("u") << none << true;
        QTest::newRow("error with message") << QByteArray(R"({"type":"x","result":"m"})") << true
                                            << "x" << none << OptionalString("m") << false;
        QTest::newRow("empty type")
            << QByteArray(R"({"type":""})") << true << "" << none << none << false;
        QTest::newRow("nulls are absent")
            << QByteArray(R"({"type":"notice","url":null,"result":null})") << true << "notice"
            << none << none << true;
        QTest::newRow("empty url is present") << QByteArray(R"({"type":"notice","url":""})") << true
                                              << "notice" << OptionalString("") << none << true;
        QTest::newRow("extra keys ignored")
            << QByteArray(R"({"type":"notice","url":"u","extra":[1,2],"URL":5})") << true
            << "notice" << OptionalString("u") << none << true;
        QTest::newRow("strings untrimmed")
            << QByteArray(R"({"type":" notice","url":" u\n"})") << true << " notice"
            << OptionalString(" u\n") << none << false;
        QTest::newRow("case-sensitive notice")
            << QByteArray(R"({"type":"Notice"})") << true << "Notice" << none << none << false;
        QTest::newRow("plural is not a notice")
            << QByteArray(R"({"type":"notices"})") << true << "notices" << none << none << false;
        QTest::newRow("duplicate key, last wins") << QByteArray(R"({"type":1,"type":"notice"})")
                                                  << true << "notice" << none << none << true;

        QTest::newRow("missing type") << QByteArray(R"({"url":"u"})") << false;
        QTest::newRow("numeric type") << QByteArray(R"({"type":1})") << false;
        QTest::newRow("null type") << QByteArray(R"({"type":null})") << false;
        QTest::newRow("numeric url") << QByteArray(R"({"type":"notice","url":5})") << false;
        QTest::newRow("object result") << QByteArray(R"({"type":"notice","result":{}})") << false;
        QTest::newRow("key case matters") << QByteArray(R"({"Type":"notice"})") << false;
        QTest::newRow("array instead of object") << QByteArray(R"([{"type":"notice"}])") << false;
        QTest::newRow("not JSON") << QByteArray("OK") << false;
        QTest::newRow("empty body") << QByteArray() << false;
        QTest::newRow("bare string") << QByteArray(R"("notice")") << false;
        QTest::newRow("trailing garbage") << QByteArray(R"({"type":"notice"} x)") << false;
    }

    void decodesResultObjects()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, decodes);

        const auto decoded = JSONDecoding::decode<ShrinkResult>(body);
        QCOMPARE(decoded.has_value(), decodes);
        if (!decodes) {
            QVERIFY(!decoded.error().isEmpty());
            return;
        }
        QFETCH(QString, type);
        QFETCH(OptionalString, url);
        QFETCH(OptionalString, result);
        QFETCH(bool, isNotice);
        QCOMPARE(*decoded, (ShrinkResult { type, url, result }));
        QCOMPARE(decoded->isNotice(), isNotice);
    }

    void decodesLists_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<QStringList>("items");

        QTest::newRow("languages keep order")
            << QByteArray(R"(["b","a"])") << true << QStringList { "b", "a" };
        QTest::newRow("empty list") << QByteArray("[]") << true << QStringList {};
        QTest::newRow("one bad element fails all")
            << QByteArray(R"(["a",3])") << false << QStringList {};
        QTest::newRow("null element") << QByteArray(R"(["a",null])") << false << QStringList {};
        QTest::newRow("object instead of array")
            << QByteArray(R"({"a":"b"})") << false << QStringList {};
    }

    void decodesLists()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, decodes);
        QFETCH(QStringList, items);

        const auto decoded = JSONDecoding::decode<QList<QString>>(body);
        QCOMPARE(decoded.has_value(), decodes);
        if (decodes)
            QCOMPARE(*decoded, items);
    }

    void decodesBatchListsAllOrNothing()
    {
        const auto batches =
            JSONDecoding::decode<QList<Batch>>(R"([{"batch":"a","size":3},{"batch":"b"}])");
        QVERIFY(batches);
        QCOMPARE(*batches, (QList<Batch> { { "a" }, { "b" } }));

        QVERIFY(!JSONDecoding::decode<QList<Batch>>(R"([{"batch":"a"},{"name":"b"}])"));
        QVERIFY(!JSONDecoding::decode<QList<Batch>>(R"([{"batch":1}])"));
        QVERIFY(!JSONDecoding::decode<QList<Batch>>(R"(["a"])"));
        QVERIFY(JSONDecoding::decode<QList<Batch>>("[]")->isEmpty());
    }

    void encodesWithoutAbsentOptionals()
    {
        const PasteResult bare { "notice", std::nullopt, std::nullopt };
        QCOMPARE(QJsonDocument(bare.toJson()).toJson(QJsonDocument::Compact),
            QByteArray(R"({"type":"notice"})"));

        const PasteResult full { "x", "u", "" };
        const auto roundTrip = PasteResult::fromJson(full.toJson());
        QVERIFY(roundTrip);
        QCOMPARE(*roundTrip, full);

        const Batch batch { "holiday" };
        QCOMPARE(Batch::fromJson(batch.toJson()).value(), batch);
    }
};

QTEST_GUILESS_MAIN(ResultRecordTest)
#include "ResultRecordTest.moc"
