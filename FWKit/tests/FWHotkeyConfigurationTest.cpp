#include <FWKit/HotkeyConfiguration.h>

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

    // Refusals the fuzz target cannot tell from an empty configuration; its seeds hold the rest.
    void refusesWhatIsNoConfiguration()
    {
        for (const QByteArray &json : { "{}"_ba, "[]"_ba, ""_ba })
            QVERIFY2(!FWHotkeyConfiguration::fromJson(json), json.constData());
    }
};

QTEST_APPLESS_MAIN(FWHotkeyConfigurationTest)
#include "FWHotkeyConfigurationTest.moc"
