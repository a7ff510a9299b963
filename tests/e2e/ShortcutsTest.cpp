#include "E2E.h"

#include <QSettings>

#include <X11/keysym.h>

using namespace E2E;

namespace {

QStringList hotkeyMessages()
{
    return messagesStartingWith(u"hotkey: "_s);
}

} // namespace

// Which global shortcuts fire: the stored configuration's, and those no other client holds.
class ShortcutsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!inHarness())
            QSKIP("only in the headless harness: never the user's keyboard");
        QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s, {} } } }));
    }

    void init()
    {
        QVERIFY(resetDesktop());
        QVERIFY(m_provider.reset());
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
    }

    // Each case ends with Ctrl+Alt+Shift+P: once its line is logged, every earlier press has
    // been handled (one X connection delivers them in order).
    void storedConfigurationIsTheOneThatFires()
    {
        {
            // As the settings window saves it: the defaults, but New Shrink on Ctrl+Alt+Shift+K.
            QSettings preferences(preferencesFile(), QSettings::NativeFormat);
            preferences.setValue(u"fwHotkeyConfiguration"_s,
                QByteArray(R"({"combos":[1,{"keyCode":11,"modifiers":2816},)"
                           R"(2,{"keyCode":31,"modifiers":2816},)"
                           R"(3,{"keyCode":35,"modifiers":2816},)"
                           R"(4,{"keyCode":40,"modifiers":2816}]})"));
            preferences.sync();
            QCOMPARE(preferences.status(), QSettings::NoError);
        }
        App app(m_provider);
        QVERIFY(app.start());
        QVERIFY(pressKeys({ u"ctrl+alt+shift+s"_s, u"ctrl+alt+shift+k"_s, u"ctrl+alt+shift+p"_s }));
        QVERIFY2(waitForLog(u"hotkey: togglePaste"_s), logDump());
        QCOMPARE(
            hotkeyMessages(), (QStringList { u"hotkey: newShrink"_s, u"hotkey: togglePaste"_s }));
        QVERIFY(app.stop());
    }

    void combinationHeldElsewhereLeavesTheOthers()
    {
        XClient other;
        QVERIFY(other.grabKey(XK_s, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT));
        App app(m_provider);
        QVERIFY(app.start());
        QVERIFY(pressKeys({ u"ctrl+alt+shift+s"_s, u"ctrl+alt+shift+b"_s, u"ctrl+alt+shift+o"_s,
            u"ctrl+alt+shift+p"_s }));
        QVERIFY2(waitForLog(u"hotkey: togglePaste"_s), logDump());
        QCOMPARE(hotkeyMessages(),
            (QStringList {
                u"hotkey: newBatch"_s, u"hotkey: openFerrowick"_s, u"hotkey: togglePaste"_s }));
        QVERIFY(app.waitForOpened(2));
        QStringList opened = app.opened(); // two browsers started at once: either may write first
        opened.sort();
        QCOMPARE(opened,
            (QStringList { u"https://demo.ferrowick.app/upload"_s, u"https://ferrowick.app/"_s }));
        QCOMPARE(app.process().state(), QProcess::Running);
        QVERIFY(app.stop());
    }

private:
    FWTest::FakeProviderProcess m_provider;
};

QTEST_GUILESS_MAIN(ShortcutsTest)
#include "ShortcutsTest.moc"
