#include "platform/KeyMap.h"

#include <FWKit/HotkeyConfiguration.h>

#include <QTest>

using namespace Ferrowick;
using namespace FWKit;
using namespace Qt::StringLiterals;

class KeyMapTest : public QObject
{
    Q_OBJECT

private slots:
    void combos_data()
    {
        QTest::addColumn<QKeyCombination>("pressed"); // as Qt reports it on a US layout
        QTest::addColumn<QString>("text"); // key#200: no key of the table
        QTest::newRow("letter") << (Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_S)
                                << u"Ctrl+Alt+Shift+S"_s;
        QTest::newRow("function key") << (Qt::META | Qt::CTRL | Qt::Key_F1) << u"Meta+Ctrl+F1"_s;
        QTest::newRow("named key") << (Qt::ALT | Qt::Key_Backspace) << u"Alt+Backspace"_s;
        QTest::newRow("shifted") << (Qt::CTRL | Qt::SHIFT | Qt::Key_Exclam) << u"Ctrl+Shift+1"_s;
        QTest::newRow("keypad") << (Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_1)
                                << u"Ctrl+key#200"_s;
        QTest::newRow("not in the table") << (Qt::CTRL | Qt::Key_F13) << u"Ctrl+key#200"_s;
    }
    // A press as the recorder stores it, then as the settings and the menu show it.
    void combos()
    {
        QFETCH(QKeyCombination, pressed);
        QFETCH(QString, text);
        const Qt::KeyboardModifiers modifiers = pressed.keyboardModifiers();
        const auto code = KeyMap::keyCodeForQtKey(pressed.key(), modifiers);
        QCOMPARE(
            KeyMap::nativeText({ code.value_or(200), KeyMap::carbonModifiers(modifiers) }), text);
    }

    void portalTriggers_data()
    {
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<quint32>("modifiers");
        QTest::addColumn<QString>("trigger"); // empty: none
        const quint32 all = FWModifier::command | FWModifier::option | FWModifier::shift;
        QTest::newRow("letter") << 1u << all << u"CTRL+ALT+SHIFT+s"_s;
        QTest::newRow("Control is LOGO")
            << 122u << (FWModifier::control | FWModifier::command) << u"CTRL+LOGO+F1"_s;
        QTest::newRow("punctuation") << 43u << FWModifier::option << u"ALT+comma"_s;
        QTest::newRow("digit") << 29u << FWModifier::command << u"CTRL+0"_s;
        QTest::newRow("not in the table") << 200u << FWModifier::command << QString();
    }
    void portalTriggers()
    {
        QFETCH(quint32, keyCode);
        QFETCH(quint32, modifiers);
        QFETCH(QString, trigger);
        QCOMPARE(KeyMap::portalTrigger({ keyCode, modifiers }).value_or(QString()), trigger);
    }

    // As stored: Command, Option and Shift, which this desktop calls Ctrl, Alt and Shift.
    void storedDefault()
    {
        const auto shrink = FWHotkeyConfiguration::defaults().combos.at(FWHotkeyAction::newShrink);
        QCOMPARE(KeyMap::nativeText(shrink), u"Ctrl+Alt+Shift+S"_s);
    }
};

QTEST_MAIN(KeyMapTest)
#include "KeyMapTest.moc"
