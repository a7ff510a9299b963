#include <FWKit/FWHotkeyConfiguration.h>

#include <QTest>

using namespace FWKit;
using namespace Qt::StringLiterals;
using Action = FWHotkeyAction;

namespace {
// A configuration document around the given flat pair list.
QByteArray doc(const char *pairs)
{
    return "{\"combos\":[" + QByteArray(pairs) + "]}";
}

const QByteArray defaultsJson = doc(R"(1,{"keyCode":11,"modifiers":2816},)"
                                    R"(2,{"keyCode":31,"modifiers":2816},)"
                                    R"(3,{"keyCode":35,"modifiers":2816},)"
                                    R"(4,{"keyCode":1,"modifiers":2816})");
// newBatch and openFerrowick share ⌘A.
const QByteArray sharedJson =
    doc(R"(1,{"keyCode":0,"modifiers":256},2,{"keyCode":0,"modifiers":256})");
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
        const auto row = [](const char *name, uint keyCode, uint modifiers, const QString &shown,
                             bool valid, bool bindable) {
            QTest::newRow(name) << keyCode << modifiers << shown << valid << bindable;
        };

        row("glyphs in fixed order", 1, 0x1B00, u"⌃⌥⇧⌘S"_s, true, true);
        row("command alone", 36, 0x0100, u"⌘key#36"_s, true, true);
        row("option alone", 22, 0x0800, u"⌥6"_s, true, true);
        row("control alone", 122, 0x1000, u"⌃F1"_s, true, true);
        row("shift alone", 0, 0x0200, u"⇧A"_s, false, true);
        row("no modifiers", 49, 0, u"key#49"_s, false, true);
        row("other bits", 0xFFFFFFFF, ~0x1900u, u"⇧key#4294967295"_s, false, true);
        row("below modifier keys", 53, 0x0100, u"⌘key#53"_s, true, true);
        row("right Command key", 54, 0x0100, u"⌘key#54"_s, true, false);
        row("Command key", 55, 0x0100, u"⌘key#55"_s, true, false);
        row("Function key", 63, 0x0100, u"⌘key#63"_s, true, false);
        row("above modifier keys", 64, 0x0100, u"⌘key#64"_s, true, true);
    }

    void combos()
    {
        QFETCH(uint, keyCode);
        QFETCH(uint, modifiers);
        QFETCH(QString, shown);
        QFETCH(bool, valid);
        QFETCH(bool, bindable);
        const FWKeyCombo combo { keyCode, modifiers };
        QCOMPARE(combo.displayString(), shown);
        QCOMPARE(FWHotkeyConfiguration::isValid(combo), valid);
        QCOMPARE(FWHotkeyConfiguration::isBindable(keyCode), bindable);
    }

    void namesEveryKeyOfTheUSLayout()
    {
        QStringList names;
        for (std::uint32_t code = 0; code < 256; ++code) {
            if (const QString name = FWKeyCombo { code, 0 }.displayString();
                !name.startsWith(u"key#"_s))
                names << name;
        }
        QCOMPARE(names.join(u' '),
            uR"(A S D F H G Z X C V B Q W E R Y T 1 2 3 4 6 5 = 9 7 - 8 0 ] O U [ I P L J ' K ; \ , )"
            uR"(/ N M . ` F5 F6 F7 F3 F8 F9 F11 F10 F12 F4 F2 F1)"_s);
    }

    void defaultsAreSharedAndComplete()
    {
        const auto &defaults = FWHotkeyConfiguration::defaults();
        QCOMPARE(&defaults, &FWHotkeyConfiguration::defaults());
        QCOMPARE(defaults.toJson(), defaultsJson);
        QCOMPARE(defaults.combo(Action::newShrink)->displayString(), u"⌥⇧⌘S"_s);
    }

    void accessByAction()
    {
        FWHotkeyConfiguration configuration = FWHotkeyConfiguration::defaults();
        configuration.setCombo(Action::togglePaste, FWKeyCombo { 9, 0x0100 });
        QCOMPARE(configuration.combo(Action::togglePaste), (FWKeyCombo { 9, 0x0100 }));
        configuration.setCombo(Action::togglePaste, std::nullopt);
        QCOMPARE(configuration.combo(Action::togglePaste), std::nullopt);
        QCOMPARE(configuration.combos.size(), 3u);
    }

    void duplicates_data()
    {
        QTest::addColumn<QByteArray>("configuration");
        QTest::addColumn<int>("action");
        QTest::addColumn<uint>("keyCode");
        QTest::addColumn<uint>("modifiers");
        QTest::addColumn<bool>("isDuplicate");
        QTest::addColumn<bool>("hasDuplicates");

        QTest::newRow("own combo") << defaultsJson << 4 << 1u << 0x0B00u << false << false;
        QTest::newRow("another's combo") << defaultsJson << 3 << 1u << 0x0B00u << true << false;
        QTest::newRow("other modifiers") << defaultsJson << 3 << 1u << 0x1B00u << false << false;
        QTest::newRow("unbound action") << sharedJson << 3 << 0u << 0x0100u << true << true;
        QTest::newRow("own combo, shared") << sharedJson << 1 << 0u << 0x0100u << false << true;
        QTest::newRow("empty") << doc("") << 1 << 0u << 0x0100u << false << false;
    }

    void duplicates()
    {
        QFETCH(QByteArray, configuration);
        QFETCH(int, action);
        QFETCH(uint, keyCode);
        QFETCH(uint, modifiers);
        QFETCH(bool, isDuplicate);
        QFETCH(bool, hasDuplicates);
        const auto decoded = *FWHotkeyConfiguration::fromJson(configuration);
        QCOMPARE(
            decoded.isDuplicate({ keyCode, modifiers }, *hotkeyActionFromRaw(action)), isDuplicate);
        QCOMPARE(decoded.hasDuplicates(), hasDuplicates);
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char *name, const QByteArray &json, const char *expected) {
            QTest::newRow(name) << json << QByteArray(expected);
        };
        const char *fails = "fails";

        row("defaults", defaultsJson, defaultsJson);
        row("empty", doc(""), R"({"combos":[]})");
        row("any order, later pair wins",
            doc(R"(4,{"keyCode":1,"modifiers":1},2,)"
                R"({"keyCode":2,"modifiers":2},4,{"keyCode":3,"modifiers":3})"),
            R"({"combos":[2,{"keyCode":2,"modifiers":2},4,{"keyCode":3,"modifiers":3}]})");
        row("other members ignored", R"({"v":2,"combos":[1,{"x":0,"keyCode":3,"modifiers":4}]})",
            R"({"combos":[1,{"keyCode":3,"modifiers":4}]})");
        row("uint32 bounds", doc(R"(1,{"keyCode":0,"modifiers":4294967295})"),
            R"({"combos":[1,{"keyCode":0,"modifiers":4294967295}]})");
        row("integral spellings", doc(R"(1.0,{"keyCode":1e1,"modifiers":256.0})"),
            R"({"combos":[1,{"keyCode":10,"modifiers":256}]})");
        row("odd length", doc("1"), fails);
        row("action 9", doc(R"(9,{"keyCode":1,"modifiers":256})"), fails);
        row("action as text", doc(R"("1",{"keyCode":1,"modifiers":256})"), fails);
        row("combo first", doc(R"({"keyCode":1,"modifiers":256},1)"), fails);
        row("combo as array", doc("1,[1,256]"), fails);
        row("keyCode missing", doc(R"(1,{"modifiers":256})"), fails);
        row("modifiers null", doc(R"(1,{"keyCode":1,"modifiers":null})"), fails);
        row("keyCode as text", doc(R"(1,{"keyCode":"1","modifiers":256})"), fails);
        row("negative", doc(R"(1,{"keyCode":-1,"modifiers":256})"), fails);
        row("above uint32", doc(R"(1,{"keyCode":1,"modifiers":4294967296})"), fails);
        row("fractional keyCode", doc(R"(1,{"keyCode":1.5,"modifiers":256})"), fails);
        row("no combos", "{}", fails);
        row("combos object", R"({"combos":{"1":{"keyCode":1,"modifiers":256}}})", fails);
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

    // Every subset of actions, bound in turn to every probe combo (shared combos included).
    void roundTripsEveryConfiguration()
    {
        const FWKeyCombo probes[] = { { 0, 0 }, { 0xFFFFFFFF, 0xFFFFFFFF }, { 1, 0x0B00 },
            { 0, 0xFFFFFFFF }, { 0xFFFFFFFF, 0 } };
        const int count = int(std::size(probes));
        for (int subset = 0; subset < 16; ++subset) {
            for (int shift = 0; shift < count; ++shift) {
                FWHotkeyConfiguration configuration;
                for (int i = 0; i < 4; ++i) {
                    if (subset & (1 << i))
                        configuration.setCombo(allHotkeyActions[i], probes[(i + shift) % count]);
                }
                const auto decoded = FWHotkeyConfiguration::fromJson(configuration.toJson());
                QVERIFY2(decoded && *decoded == configuration, configuration.toJson().constData());
            }
        }
    }
};

QTEST_APPLESS_MAIN(FWHotkeyConfigurationTest)
#include "FWHotkeyConfigurationTest.moc"
