#include "platform/KeyMap.h"

#include <FWKit/FWHotkeyConfiguration.h>

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
    void everyKeyRoundTrips()
    {
        int keys = 0;
        for (std::uint32_t code = 0; code < 256; ++code) {
            const std::optional<std::uint32_t> keysym = KeyMap::keysym(code);
            const std::optional<Qt::Key> key = KeyMap::qtKey(code);
            QCOMPARE(keysym.has_value(), key.has_value());
            if (!keysym)
                continue;
            ++keys;
            QCOMPARE(KeyMap::keyCodeForKeysym(*keysym), code);
            QCOMPARE(KeyMap::keyCodeForQtKey(*key), code);
        }
        QCOMPARE(keys, 73);
    }

    // The library names 59 keys; Qt must call each of them the same.
    void namedKeysAgreeWithTheLibrary()
    {
        int named = 0;
        for (std::uint32_t code = 0; code < 128; ++code) {
            const QString name = FWKeyCombo { code, 0 }.displayString();
            if (name.startsWith(u"key#"_s))
                continue;
            ++named;
            QVERIFY2(KeyMap::qtKey(code), qPrintable(name));
            QCOMPARE(QKeySequence(*KeyMap::qtKey(code)).toString(QKeySequence::PortableText), name);
            const std::uint32_t keysym = name.size() == 1 ? name.toLower().at(0).unicode()
                                                          : XK_F1 + name.mid(1).toUInt() - 1;
            QCOMPARE(KeyMap::keysym(code), keysym);
        }
        QCOMPARE(named, 59);
    }

    void unnamedKeys_data()
    {
        QTest::addColumn<std::uint32_t>("code");
        QTest::addColumn<std::uint32_t>("keysym");
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << 36u << std::uint32_t(XK_Return) << int(Qt::Key_Return);
        QTest::newRow("Tab") << 48u << std::uint32_t(XK_Tab) << int(Qt::Key_Tab);
        QTest::newRow("Space") << 49u << std::uint32_t(XK_space) << int(Qt::Key_Space);
        QTest::newRow("Backspace") << 51u << std::uint32_t(XK_BackSpace) << int(Qt::Key_Backspace);
        QTest::newRow("Escape") << 53u << std::uint32_t(XK_Escape) << int(Qt::Key_Escape);
        QTest::newRow("Home") << 115u << std::uint32_t(XK_Home) << int(Qt::Key_Home);
        QTest::newRow("Page Up") << 116u << std::uint32_t(XK_Prior) << int(Qt::Key_PageUp);
        QTest::newRow("Delete") << 117u << std::uint32_t(XK_Delete) << int(Qt::Key_Delete);
        QTest::newRow("End") << 119u << std::uint32_t(XK_End) << int(Qt::Key_End);
        QTest::newRow("Page Down") << 121u << std::uint32_t(XK_Next) << int(Qt::Key_PageDown);
        QTest::newRow("Left") << 123u << std::uint32_t(XK_Left) << int(Qt::Key_Left);
        QTest::newRow("Right") << 124u << std::uint32_t(XK_Right) << int(Qt::Key_Right);
        QTest::newRow("Down") << 125u << std::uint32_t(XK_Down) << int(Qt::Key_Down);
        QTest::newRow("Up") << 126u << std::uint32_t(XK_Up) << int(Qt::Key_Up);
    }
    void unnamedKeys()
    {
        QFETCH(std::uint32_t, code);
        QFETCH(std::uint32_t, keysym);
        QFETCH(int, key);
        QCOMPARE(KeyMap::keysym(code), keysym);
        QCOMPARE(KeyMap::qtKey(code), Qt::Key(key));
    }

    // What a recorder sees for a shifted press on a US layout names the key that was pressed.
    void shiftedPressesGiveTheKey_data()
    {
        QTest::addColumn<std::uint32_t>("keysym");
        QTest::addColumn<int>("key");
        QTest::addColumn<std::uint32_t>("code");
        const auto row = [](const char *name, std::uint32_t keysym, Qt::Key key,
                             std::uint32_t code) {
            QTest::newRow(name) << keysym << int(key) << code;
        };
        row("A", XK_A, Qt::Key_A, 0);
        row("!", XK_exclam, Qt::Key_Exclam, 18);
        row("@", XK_at, Qt::Key_At, 19);
        row("#", XK_numbersign, Qt::Key_NumberSign, 20);
        row("$", XK_dollar, Qt::Key_Dollar, 21);
        row("^", XK_asciicircum, Qt::Key_AsciiCircum, 22);
        row("%", XK_percent, Qt::Key_Percent, 23);
        row("+", XK_plus, Qt::Key_Plus, 24);
        row("(", XK_parenleft, Qt::Key_ParenLeft, 25);
        row("&", XK_ampersand, Qt::Key_Ampersand, 26);
        row("_", XK_underscore, Qt::Key_Underscore, 27);
        row("*", XK_asterisk, Qt::Key_Asterisk, 28);
        row(")", XK_parenright, Qt::Key_ParenRight, 29);
        row("}", XK_braceright, Qt::Key_BraceRight, 30);
        row("{", XK_braceleft, Qt::Key_BraceLeft, 33);
        row("\"", XK_quotedbl, Qt::Key_QuoteDbl, 39);
        row(":", XK_colon, Qt::Key_Colon, 41);
        row("|", XK_bar, Qt::Key_Bar, 42);
        row("<", XK_less, Qt::Key_Less, 43);
        row("?", XK_question, Qt::Key_Question, 44);
        row(">", XK_greater, Qt::Key_Greater, 47);
        row("~", XK_asciitilde, Qt::Key_AsciiTilde, 50);
        row("Shift+Tab", XK_ISO_Left_Tab, Qt::Key_Backtab, 48);
    }
    void shiftedPressesGiveTheKey()
    {
        QFETCH(std::uint32_t, keysym);
        QFETCH(int, key);
        QFETCH(std::uint32_t, code);
        QCOMPARE(KeyMap::keyCodeForKeysym(keysym), code);
        QCOMPARE(KeyMap::keyCodeForQtKey(key, Qt::ShiftModifier), code);
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
        QTest::newRow("none") << 0u << Qt::KeyboardModifiers() << 0;
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
        QCOMPARE(KeyMap::qtModifiers(carbon), qt);
        QCOMPARE(KeyMap::carbonModifiers(qt), carbon);
        QCOMPARE(KeyMap::x11Modifiers(carbon), x11);
        // Caps Lock's Carbon bit and Qt's keypad flag are no part of a combination.
        QCOMPARE(KeyMap::qtModifiers(carbon | 0x0400), qt);
        QCOMPARE(KeyMap::x11Modifiers(carbon | 0x0400), x11);
        QCOMPARE(KeyMap::carbonModifiers(qt | Qt::KeypadModifier), carbon);
    }

    void nativeText_data()
    {
        QTest::addColumn<FWKeyCombo>("combo");
        QTest::addColumn<QString>("text");
        const auto &defaults = FWKit::FWHotkeyConfiguration::defaults().combos;
        QTest::newRow("newBatch") << defaults.at(FWKit::FWHotkeyAction::newBatch)
                                  << u"Ctrl+Alt+Shift+B"_s;
        QTest::newRow("openFerrowick")
            << defaults.at(FWKit::FWHotkeyAction::openFerrowick) << u"Ctrl+Alt+Shift+O"_s;
        QTest::newRow("togglePaste")
            << defaults.at(FWKit::FWHotkeyAction::togglePaste) << u"Ctrl+Alt+Shift+P"_s;
        QTest::newRow("newShrink")
            << defaults.at(FWKit::FWHotkeyAction::newShrink) << u"Ctrl+Alt+Shift+S"_s;
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
