#include <FWKit/Batch.h>
#include <FWKit/JSONDecoding.h>
#include <FWKit/ResultRecord.h>

#include <QJsonDocument>
#include <QTest>

using namespace FWKit;

namespace {
// A decoded record written back compactly (keys in name order), or "fails".
template<typename T>
QByteArray roundTrip(const QByteArray &body)
{
    const auto decoded = JSONDecoding::decode<T>(body);
    return decoded ? QJsonDocument(decoded->toJson()).toJson(QJsonDocument::Compact) : "fails";
}

void row(const char *name, const char *body, const char *expected)
{
    QTest::newRow(name) << QByteArray(body) << QByteArray(expected);
}
} // namespace

class ResultRecordTest : public QObject
{
    Q_OBJECT

private slots:
    void decodesResultObjects_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("expected");

        row("notice with url", R"({"type":"notice","url":"u"})", R"({"type":"notice","url":"u"})");
        row("nulls are absent", R"({"type":"notice","url":null,"result":null})",
            R"({"type":"notice"})");
        row("empty url is present", R"({"type":"","url":""})", R"({"type":"","url":""})");
        row("extra keys ignored", R"({"type":"x","result":"m","extra":[1],"URL":5})",
            R"({"result":"m","type":"x"})");
        row("strings untrimmed", R"({"type":" x","url":" u\n"})", R"({"type":" x","url":" u\n"})");
        row("duplicate key, last wins", R"({"type":1,"type":"x"})", R"({"type":"x"})");
        row("missing type", R"({"url":"u"})", "fails");
        row("numeric type", R"({"type":1})", "fails");
        row("null type", R"({"type":null})", "fails");
        row("numeric url", R"({"type":"notice","url":5})", "fails");
        row("object result", R"({"type":"notice","result":{}})", "fails");
        row("key case matters", R"({"Type":"notice"})", "fails");
        row("array instead of object", R"([{"type":"notice"}])", "fails");
        row("not JSON", "OK", "fails");
        row("empty body", "", "fails");
        row("bare string", R"("notice")", "fails");
        row("trailing garbage", R"({"type":"notice"} x)", "fails");
    }

    void decodesResultObjects()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, expected);
        QCOMPARE(roundTrip<ShrinkResult>(body), expected);
    }

    void noticeIsExactlyNotice()
    {
        QVERIFY((AuthResult { "notice", std::nullopt, std::nullopt }.isNotice()));
        for (const QString type : { "", "Notice", "notices", " notice" })
            QVERIFY(!(AuthResult { type, "u", std::nullopt }.isNotice()));
    }

    void decodesListsAllOrNothing_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("expected");

        row("languages keep order", R"(["b","a"])", R"(["b","a"])");
        row("empty list", "[]", "[]");
        row("one bad element fails all", R"(["a",3])", "fails");
        row("null element", R"(["a",null])", "fails");
        row("object instead of array", R"({"a":"b"})", "fails");
    }

    void decodesListsAllOrNothing()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, expected);
        const auto decoded = JSONDecoding::decode<QList<QString>>(body);
        QCOMPARE(decoded
                ? QJsonDocument(QJsonArray::fromStringList(*decoded)).toJson(QJsonDocument::Compact)
                : QByteArray("fails"),
            expected);
    }

    void decodesBatchLists()
    {
        QCOMPARE(
            JSONDecoding::decode<QList<Batch>>(R"([{"batch":"a","size":3},{"batch":"b"}])").value(),
            (QList<Batch> { { "a" }, { "b" } }));
        QVERIFY(!JSONDecoding::decode<QList<Batch>>(R"([{"batch":"a"},{"name":"b"}])"));
        QVERIFY(!JSONDecoding::decode<QList<Batch>>(R"([{"batch":1}])"));
        QVERIFY(!JSONDecoding::decode<QList<Batch>>(R"(["a"])"));
    }
};

QTEST_GUILESS_MAIN(ResultRecordTest)
#include "ResultRecordTest.moc"
