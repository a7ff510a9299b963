#include "platform/KeyMap.h"

#include <FWKit/HotkeyConfiguration.h>

#include <QTest>

#include <X11/keysym.h>

using namespace Ferrowick;
using FWKit::FWKeyCombo;
namespace Mod = FWKit::FWModifier;
using namespace Qt::StringLiterals;

class KeyMapTest : public QObject
{
    Q_OBJECT

public:
    // QKeySequence needs a QGuiApplication, not a display: the harness gives xcb, elsewhere none.
    static void initMain()
    {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }

private slots:
    // Every key of the table maps back to itself. The 59 keys the library names (letters, digits,
    // punctuation, F1-F12) are all in it, Qt calls them the same, and their keysym is that
    // character or function key.
    void everyKeyRoundTrips()
    {
        int keys = 0, named = 0;
        for (std::uint32_t code = 0; code < 256; ++code) {
            const std::optional<std::uint32_t> keysym = KeyMap::keysym(code);
            const std::optional<Qt::Key> key = KeyMap::qtKey(code);
            const QString name = FWKeyCombo { code, 0 }.displayString();
            QCOMPARE(keysym.has_value(), key.has_value());
            if (!keysym) {
                QVERIFY2(name.startsWith(u"key#"_s), qPrintable(name));
                continue;
            }
            ++keys;
            QCOMPARE(KeyMap::keyCodeForKeysym(*keysym), code);
            QCOMPARE(KeyMap::keyCodeForQtKey(*key), code);
            if (name.startsWith(u"key#"_s))
                continue;
            ++named;
            QCOMPARE(QKeySequence(*key).toString(QKeySequence::PortableText), name);
            QCOMPARE(*keysym,
                name.size() == 1 ? name.toLower().at(0).unicode()
                                 : XK_F1 + name.mid(1).toUInt() - 1);
        }
        QCOMPARE(keys, 73);
        QCOMPARE(named, 59);
    }

    // The keys the library has no name for.
    void otherKeys()
    {
        const struct
        {
            std::uint32_t code, keysym;
            Qt::Key key;
        } keys[] { { 36, XK_Return, Qt::Key_Return }, { 48, XK_Tab, Qt::Key_Tab },
            { 49, XK_space, Qt::Key_Space }, { 51, XK_BackSpace, Qt::Key_Backspace },
            { 53, XK_Escape, Qt::Key_Escape }, { 115, XK_Home, Qt::Key_Home },
            { 116, XK_Prior, Qt::Key_PageUp }, { 117, XK_Delete, Qt::Key_Delete },
            { 119, XK_End, Qt::Key_End }, { 121, XK_Next, Qt::Key_PageDown },
            { 123, XK_Left, Qt::Key_Left }, { 124, XK_Right, Qt::Key_Right },
            { 125, XK_Down, Qt::Key_Down }, { 126, XK_Up, Qt::Key_Up } };
        for (const auto &[code, keysym, key] : keys) {
            QCOMPARE(KeyMap::keysym(code), keysym);
            QCOMPARE(KeyMap::qtKey(code), key);
        }
    }

    // What a recorder sees for a shifted press on a US layout names the key that was pressed.
    void shiftedPressesGiveTheKey()
    {
        const QString pairs = u"aA1!2@3#4$5%6^7&8*9(0)-_=+[{]}\\|;:'\",<.>/?`~"_s;
        for (qsizetype i = 0; i < pairs.size(); i += 2) {
            const std::optional<std::uint32_t> code = KeyMap::keyCodeForKeysym(pairs[i].unicode());
            QVERIFY(code);
            const char16_t shifted = pairs[i + 1].unicode();
            QCOMPARE(KeyMap::keyCodeForKeysym(shifted), code);
            QCOMPARE(KeyMap::keyCodeForQtKey(QChar(shifted).toUpper().unicode(), Qt::ShiftModifier),
                code);
        }
        QCOMPARE(KeyMap::keyCodeForKeysym(XK_ISO_Left_Tab), 48u);
        QCOMPARE(KeyMap::keyCodeForQtKey(Qt::Key_Backtab, Qt::ShiftModifier), 48u);
    }

    void keypadAndUnknownKeysAreNotInTheTable()
    {
        QCOMPARE(KeyMap::keyCodeForQtKey(Qt::Key_Enter), std::nullopt);
        QCOMPARE(KeyMap::keyCodeForQtKey(Qt::Key_1, Qt::KeypadModifier), std::nullopt);
        QCOMPARE(KeyMap::keyCodeForQtKey(Qt::Key_F13), std::nullopt);
        QCOMPARE(KeyMap::keyCodeForKeysym(XK_KP_Enter), std::nullopt);
        QCOMPARE(KeyMap::keyCodeForKeysym(XK_KP_1), std::nullopt);
        QCOMPARE(KeyMap::keysym(200), std::nullopt);
        QCOMPARE(KeyMap::keySequence({ 200, Mod::command }), std::nullopt);
    }

    void modifiers_data()
    {
        QTest::addColumn<std::uint32_t>("carbon");
        QTest::addColumn<Qt::KeyboardModifiers>("qt");
        QTest::addColumn<int>("x11");
        QTest::newRow("Command") << Mod::command << Qt::KeyboardModifiers(Qt::ControlModifier) << 4;
        QTest::newRow("Shift") << Mod::shift << Qt::KeyboardModifiers(Qt::ShiftModifier) << 1;
        QTest::newRow("Option") << Mod::option << Qt::KeyboardModifiers(Qt::AltModifier) << 8;
        QTest::newRow("Control") << Mod::control << Qt::KeyboardModifiers(Qt::MetaModifier) << 64;
        QTest::newRow("all four") << (Mod::command | Mod::shift | Mod::option | Mod::control)
                                  << (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier |
                                         Qt::MetaModifier)
                                  << (4 | 1 | 8 | 64);
    }
    void modifiers()
    {
        QFETCH(std::uint32_t, carbon);
        QFETCH(Qt::KeyboardModifiers, qt);
        QFETCH(int, x11);
        // Caps Lock's Carbon bit and Qt's keypad flag are no part of a combination.
        QCOMPARE(KeyMap::qtModifiers(carbon | 0x0400), qt);
        QCOMPARE(KeyMap::carbonModifiers(qt | Qt::KeypadModifier), carbon);
        QCOMPARE(KeyMap::x11Modifiers(carbon | 0x0400), x11);
    }

    void nativeText_data()
    {
        QTest::addColumn<FWKeyCombo>("combo");
        QTest::addColumn<QString>("text");
        QTest::newRow("default") << FWKit::FWHotkeyConfiguration::defaults().combos.at(
                                        FWKit::FWHotkeyAction::newShrink)
                                 << u"Ctrl+Alt+Shift+S"_s;
        QTest::newRow("Meta") << FWKeyCombo { 122, Mod::control | Mod::command }
                              << u"Meta+Ctrl+F1"_s;
        QTest::newRow("Backspace") << FWKeyCombo { 51, Mod::option } << u"Alt+Backspace"_s;
        QTest::newRow("not in the table")
            << FWKeyCombo { 200, Mod::command | Mod::shift } << u"Ctrl+Shift+key#200"_s;
    }
    void nativeText()
    {
        QFETCH(FWKeyCombo, combo);
        QFETCH(QString, text);
        QCOMPARE(KeyMap::nativeText(combo), text);
    }
};

QTEST_MAIN(KeyMapTest)
#include "KeyMapTest.moc"
