#include <FWKit/FWHotkeyConfiguration.h>

#include <QTest>

using namespace FWKit;
using namespace Qt::StringLiterals;
using Action = FWHotkeyAction;

namespace {
QByteArray doc(const char *pairs)
{
    return "{\"combos\":[" + QByteArray(pairs) + "]}";
}

const QByteArray defaultsJson = doc(R"(1,{"keyCode":11,"modifiers":2816},)"
                                    R"(2,{"keyCode":31,"modifiers":2816},)"
                                    R"(3,{"keyCode":35,"modifiers":2816},)"
                                    R"(4,{"keyCode":1,"modifiers":2816})");
} // namespace

class FWHotkeyConfigurationTest : public QObject
{
    Q_OBJECT

private slots:
    void combos_data()
    {
        QTest::addColumn<uint>("keyCode");
        QTest::addColumn<uint>("modifiers");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("bindable");
        QTest::newRow("glyphs in fixed order") << 1u << 0x1B00u << u"⌃⌥⇧⌘S"_s << true << true;
        QTest::newRow("command, unnamed key") << 36u << 0x0100u << u"⌘key#36"_s << true << true;
        QTest::newRow("option") << 22u << 0x0800u << u"⌥6"_s << true << true;
        QTest::newRow("control") << 122u << 0x1000u << u"⌃F1"_s << true << true;
        QTest::newRow("shift only, key 53") << 53u << 0x0200u << u"⇧key#53"_s << false << true;
        QTest::newRow("other bits, key 64") << 64u << ~0x1900u << u"⇧key#64"_s << false << true;
        QTest::newRow("right Command key") << 54u << 0x0100u << u"⌘key#54"_s << true << false;
        QTest::newRow("Function key") << 63u << 0x0100u << u"⌘key#63"_s << true << false;
    }

    void combos()
    {
        QFETCH(uint, keyCode);
        QFETCH(uint, modifiers);
        QFETCH(QString, shown);
        QFETCH(bool, valid);
        QFETCH(bool, bindable);
        QCOMPARE((FWKeyCombo { keyCode, modifiers }).displayString(), shown);
        QCOMPARE(FWHotkeyConfiguration::isValid({ keyCode, modifiers }), valid);
        QCOMPARE(FWHotkeyConfiguration::isBindable(keyCode), bindable);
    }

    void defaults() { QCOMPARE(FWHotkeyConfiguration::defaults().toJson(), defaultsJson); }

    void duplicates()
    {
        const auto &defaults = FWHotkeyConfiguration::defaults();
        const FWHotkeyConfiguration shared { { { Action::newBatch, { 0, 0x0100 } },
            { Action::openFerrowick, { 0, 0x0100 } } } };
        QVERIFY(defaults.isDuplicate({ 1, 0x0B00 }, Action::togglePaste)); // newShrink's
        QVERIFY(!defaults.isDuplicate({ 1, 0x1B00 }, Action::togglePaste));
        QVERIFY(!shared.isDuplicate({ 0, 0x0100 }, Action::newBatch)); // its own, though shared
        QVERIFY(shared.isDuplicate({ 0, 0x0100 }, Action::togglePaste));
        QVERIFY(!defaults.hasDuplicates());
        QVERIFY(shared.hasDuplicates());
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char *name, const QByteArray &json, const char *expected) {
            QTest::newRow(name) << json << QByteArray(expected);
        };
        const char *fails = "fails";
        const char *one = R"({"combos":[1,{"keyCode":10,"modifiers":256}]})";

        row("integral spellings", doc(R"(1.0,{"keyCode":1e1,"modifiers":256.0})"), one);
        row("other members", R"({"v":2,"combos":[1,{"x":0,"keyCode":10,"modifiers":256}]})", one);
        row("later pair wins",
            doc(R"(1,{"keyCode":3,"modifiers":3},1,{"keyCode":10,"modifiers":256})"), one);
        row("odd length", doc("1"), fails);
        row("action 5", doc(R"(5,{"keyCode":1,"modifiers":256})"), fails);
        row("action as text", doc(R"("1",{"keyCode":1,"modifiers":256})"), fails);
        row("combo as array", doc("1,[1,256]"), fails);
        row("keyCode missing", doc(R"(1,{"modifiers":256})"), fails);
        row("keyCode as text", doc(R"(1,{"keyCode":"1","modifiers":256})"), fails);
        row("negative", doc(R"(1,{"keyCode":-1,"modifiers":256})"), fails);
        row("above uint32", doc(R"(1,{"keyCode":1,"modifiers":4294967296})"), fails);
        row("fraction", doc(R"(1,{"keyCode":1.5,"modifiers":256})"), fails);
        row("no combos", "{}", fails);
        row("bare array", "[]", fails);
        row("not JSON", "", fails);
    }

    void decoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, expected);
        const auto configuration = FWHotkeyConfiguration::fromJson(json);
        QCOMPARE(configuration ? configuration->toJson() : QByteArray("fails"), expected);
    }

    // Every subset of actions, with extreme and shared combos.
    void roundTrips()
    {
        const FWKeyCombo probes[] = { { 0, 0 }, { ~0u, ~0u }, { 1, 0x0B00 }, { 0, ~0u } };
        for (int n = 0; n < 64; ++n) { // the low four bits pick the actions
            FWHotkeyConfiguration configuration;
            for (int i = 0; i < 4; ++i) {
                if (n & (1 << i))
                    configuration.setCombo(allHotkeyActions[i], probes[i * (n >> 4) % 4]);
            }
            const auto decoded = FWHotkeyConfiguration::fromJson(configuration.toJson());
            QVERIFY2(decoded && *decoded == configuration, configuration.toJson().constData());
        }
    }
};

QTEST_APPLESS_MAIN(FWHotkeyConfigurationTest)
#include "FWHotkeyConfigurationTest.moc"
