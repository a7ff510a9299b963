#include "E2E.h"

#include <QSettings>

#include <X11/keysym.h>

using namespace E2E;

namespace {

enum Row { shrinkRow = 3 };

// The toolbar's second item; the first, General, is about 65 px wide.
QPoint shortcutsItem(QSize window)
{
    return { 106, (window.height() - generalHeight) / 2 };
}

// ctrl+alt+shift: X11's modifiers of the default combinations.
constexpr std::uint16_t defaultModifiers =
    XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT;

const QByteArray shrinkOnK = R"({"combos":[1,{"keyCode":11,"modifiers":2816},)"
                             R"(2,{"keyCode":31,"modifiers":2816},)"
                             R"(3,{"keyCode":35,"modifiers":2816},)"
                             R"(4,{"keyCode":40,"modifiers":2816}]})";

QByteArray storedShortcuts()
{
    return QSettings(preferencesFile(), QSettings::NativeFormat)
        .value(u"fwHotkeyConfiguration"_s)
        .toByteArray();
}

QByteArray preferencesBytes()
{
    QFile file(preferencesFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Presses the keys, then Ctrl+Alt+Shift+P; once the panel's line is logged every earlier press has
// been handled (one X connection delivers them in order). The hotkey lines the presses added.
QStringList hotkeysFrom(const QStringList &keys)
{
    const qsizetype before = messagesStartingWith(u"hotkey: "_s).size();
    const qsizetype toggles = messagesStartingWith(u"hotkey: togglePaste"_s).size();
    if (!pressKeys(keys + QStringList { u"ctrl+alt+shift+p"_s }) ||
        !waitForLog(u"hotkey: togglePaste"_s, toggles + 1))
        return { u"(no togglePaste line)"_s };
    return messagesStartingWith(u"hotkey: "_s).sliced(before);
}

} // namespace

// The settings window of the running program, used with the pointer and the keyboard: shortcuts
// recorded in it, and credentials saved from it.
class SettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!inHarness())
            QSKIP("only in the headless harness: never the user's keyring, keyboard or display");
        if (qEnvironmentVariable("FERROWICK_WM") != u"openbox"_s)
            QSKIP("needs the harness's window manager: the window's focus and frame are used");
        QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s, {} } } }));
    }

    void init()
    {
        QVERIFY(resetDesktop());
        QVERIFY(m_provider.reset());
    }

    void recordedShortcutFiresAndIsKept()
    {
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
        App app(m_provider);
        QVERIFY(app.start());
        const QString window = openShortcuts(app);
        QVERIFY2(!window.isEmpty(), logDump());
        QVERIFY(record(window, shrinkRow, u"ctrl+alt+shift+k"_s));
        QVERIFY(QTest::qWaitFor([] { return storedShortcuts() == shrinkOnK; }, patienceMs));
        QCOMPARE(m_x.pixelsOfColour(window, errorRed), 0);

        const QStringList shrinkOnly { u"hotkey: newShrink"_s, u"hotkey: togglePaste"_s };
        QCOMPARE(hotkeysFrom({ u"ctrl+alt+shift+s"_s, u"ctrl+alt+shift+k"_s }), shrinkOnly);
        QVERIFY(app.stop());

        QVERIFY(QFile::remove(logFile()));
        QVERIFY(app.start());
        QCOMPARE(messagesStartingWith(u"launch: "_s).size(), 1);
        QCOMPARE(hotkeysFrom({ u"ctrl+alt+shift+s"_s, u"ctrl+alt+shift+k"_s }), shrinkOnly);
        QCOMPARE(storedShortcuts(), shrinkOnK);
        QVERIFY(app.stop());
    }

    // Another application holds Ctrl+Alt+Shift+J: chosen for Shrink, it shows the red line and
    // changes nothing.
    void combinationHeldElsewhereIsRefused()
    {
        XClient other;
        QVERIFY(other.grabKey(XK_j, defaultModifiers));
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
        App app(m_provider);
        QVERIFY(app.start());
        const QByteArray preferences = preferencesBytes();
        const QString window = openShortcuts(app);
        QVERIFY2(!window.isEmpty(), logDump());
        QCOMPARE(m_x.pixelsOfColour(window, errorRed), 0);

        QVERIFY(record(window, shrinkRow, u"ctrl+alt+shift+j"_s));
        QVERIFY(
            QTest::qWaitFor([&] { return m_x.pixelsOfColour(window, errorRed) > 0; }, patienceMs));
        QCOMPARE(preferencesBytes(), preferences);
        QCOMPARE(hotkeysFrom({ u"ctrl+alt+shift+j"_s, u"ctrl+alt+shift+s"_s }),
            (QStringList { u"hotkey: newShrink"_s, u"hotkey: togglePaste"_s }));
        QVERIFY(app.stop());
    }

    // Without credentials the window opens by itself; saved, they reach the keyring and the
    // batches are asked for.
    void savedCredentialsGoToTheKeyring()
    {
        App app(m_provider);
        QVERIFY(app.start());
        QVERIFY2(waitForWindow(settingsTitle), logDump());
        const QString window = windowsTitled(settingsTitle).constFirst();
        QVERIFY(waitForFocus(window));

        QVERIFY(typeCredentials(window, u"demo"_s, u"demo-password-1"_s));

        QVERIFY2(waitForNoWindow(settingsTitle), logDump());
        QCOMPARE(lookupSecret(u"login"_s), std::optional(QByteArray("demo")));
        QCOMPARE(lookupSecret(u"password"_s), std::optional(QByteArray("demo-password-1")));
        QVERIFY2(waitForRequest(m_provider, u"GET /api/list/demo"_s), logDump());
        QVERIFY(app.stop());
    }

private:
    // A second start opens the settings window; its toolbar's Shortcuts item shows that pane,
    // which only makes the window taller. The window, or empty.
    static QString openShortcuts(App &app)
    {
        if (!app.startSecond() || !waitForWindow(settingsTitle))
            return {};
        const QString window = windowsTitled(settingsTitle).constFirst();
        const QSize general = windowSize(window);
        if (!waitForFocus(window) || !click(window, shortcutsItem(general)))
            return {};
        const int shortcuts = general.height() - generalHeight + shortcutsHeight;
        return QTest::qWaitFor([&] { return windowSize(window).height() == shortcuts; }, patienceMs)
            ? window
            : QString();
    }

    // Clicks a recorder and types a combination once it holds the keyboard (before, a combination
    // another client has grabbed would go there); true when recording has ended.
    bool record(const QString &window, int row, const QString &keys)
    {
        return click(window, control(windowSize(window), shortcutsHeight, row, recorderWidth)) &&
            QTest::qWaitFor([&] { return m_x.keyboardGrabbed(); }, patienceMs) &&
            pressKeys({ keys }) &&
            QTest::qWaitFor([&] { return !m_x.keyboardGrabbed(); }, patienceMs);
    }

    FWTest::FakeProviderProcess m_provider;
    XClient m_x;
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "SettingsTest.moc"
