#include "ui/RecorderView.h"

#include "platform/X11Hotkeys.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace Ferrowick;
using namespace FWKit;
using namespace Qt::StringLiterals;
using MaybeCombo = std::optional<FWKeyCombo>;

namespace {

constexpr std::uint32_t commandOptionShift =
    FWModifier::command | FWModifier::option | FWModifier::shift;

// A recorder in a window of its own, with a line edit to take the focus away.
struct Window
{
    QWidget window;
    RecorderView *recorder = new RecorderView(&window);
    QLineEdit *other = new QLineEdit(&window);
    QList<FWKeyCombo> commits;
    int beeps = 0;

    explicit Window(FWHotkeyAction action = FWHotkeyAction::newShrink)
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(recorder);
        layout->addWidget(other);
        recorder->setAction(action);
        recorder->setConfiguration(FWHotkeyConfiguration::defaults());
        recorder->setCommitHandler([this](const FWKeyCombo &combo) { commits << combo; });
        recorder->setBeep([this] { ++beeps; });
        window.show();
        window.activateWindow();
    }
    bool ready() { return QTest::qWaitForWindowActive(&window); }
    void record() { QTest::mouseClick(recorder, Qt::LeftButton); }
};

// Straight to the control, as the window delivers a key press: auto-repeat included.
void press(QWidget *widget, int key, Qt::KeyboardModifiers modifiers, bool autoRepeat = false)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class RecorderViewTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariable("FERROWICK_HARNESS") != u"1"_s)
            QSKIP("only in the headless harness: never the user's display");
    }

    void keyPress_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("autoRepeat");
        QTest::addColumn<MaybeCombo>("committed");
        QTest::addColumn<int>("beeps");

        const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
        const Qt::KeyboardModifiers ctrlAltShift =
            Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;
        QTest::newRow("Ctrl+K") << int(Qt::Key_K) << ctrl << false
                                << MaybeCombo({ 40, FWModifier::command }) << 0;
        QTest::newRow("Shift+K: Shift is not enough")
            << int(Qt::Key_K) << Qt::KeyboardModifiers(Qt::ShiftModifier) << false << MaybeCombo()
            << 1;

        QTest::newRow("modifier alone: the start of a combination")
            << int(Qt::Key_Control) << ctrl << false << MaybeCombo() << 0;
        QTest::newRow("auto-repeat") << int(Qt::Key_K) << ctrl << true << MaybeCombo() << 1;
        QTest::newRow("another action's combination")
            << int(Qt::Key_B) << ctrlAltShift << false << MaybeCombo() << 1;
        QTest::newRow("its own combination") << int(Qt::Key_S) << ctrlAltShift << false
                                             << MaybeCombo({ 1, commandOptionShift }) << 0;
        QTest::newRow("key outside the table")
            << int(Qt::Key_F13) << ctrl << false << MaybeCombo() << 1;

        QTest::newRow("shifted punctuation")
            << int(Qt::Key_Exclam) << (ctrl | Qt::ShiftModifier) << false
            << MaybeCombo({ 18, FWModifier::command | FWModifier::shift }) << 0;
        QTest::newRow("Meta+Tab stays a key, not a focus move")
            << int(Qt::Key_Tab) << Qt::KeyboardModifiers(Qt::MetaModifier) << false
            << MaybeCombo({ 48, FWModifier::control }) << 0;
    }
    void keyPress()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, autoRepeat);
        QFETCH(MaybeCombo, committed);
        QFETCH(int, beeps);
        Window w;
        QVERIFY(w.ready());
        w.record();
        QVERIFY(w.recorder->isRecording());

        press(w.recorder, key, modifiers, autoRepeat);
        QCOMPARE(w.commits.size(), committed ? 1 : 0);
        if (committed)
            QCOMPARE(w.commits.first(), *committed);
        QCOMPARE(w.beeps, beeps);
        QCOMPARE(w.recorder->isRecording(), !committed);
        QCOMPARE(w.recorder->hasFocus(), !committed);
        // The owner decides what is shown, once the combination is in effect.
        QCOMPARE(w.recorder->combo(), MaybeCombo({ 1, commandOptionShift }));
    }

    void startAndCancel_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("click") << u"click"_s;
        QTest::newRow("Space") << u"space"_s;
        QTest::newRow("Return") << u"return"_s;
    }
    void startAndCancel()
    {
        QFETCH(QString, how);
        Window w;
        QVERIFY(w.ready());
        QCOMPARE(w.recorder->text(), u"Ctrl+Alt+Shift+S"_s);
        if (how == u"click"_s) {
            w.record();
        } else {
            w.recorder->setFocus();
            QVERIFY(!w.recorder->isRecording());
            QTest::keyClick(w.recorder, how == u"space"_s ? Qt::Key_Space : Qt::Key_Return);
        }
        QVERIFY(w.recorder->isRecording());
        QCOMPARE(w.recorder->text(), u"Type shortcut\u2026"_s);

        QTest::keyClick(w.recorder, Qt::Key_Escape);
        QVERIFY(!w.recorder->isRecording());
        QVERIFY(!w.recorder->hasFocus());
        QCOMPARE(w.recorder->text(), u"Ctrl+Alt+Shift+S"_s);
        QVERIFY(w.commits.isEmpty());
        QCOMPARE(w.beeps, 0);

        w.recorder->setCombo(std::nullopt);
        QCOMPARE(w.recorder->text(), u"\u2014"_s);
    }

    void endsWithoutChange_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("focus moves to another control") << u"focus"_s;
        QTest::newRow("another window becomes active") << u"window"_s;
    }
    void endsWithoutChange()
    {
        QFETCH(QString, how);
        Window w;
        QVERIFY(w.ready());
        w.record();
        QVERIFY(w.recorder->isRecording());
        QWidget elsewhere;
        if (how == u"focus"_s) {
            QTest::mouseClick(w.other, Qt::LeftButton);
        } else {
            elsewhere.show();
            elsewhere.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        }
        QTRY_VERIFY(!w.recorder->isRecording());
        QVERIFY(QWidget::keyboardGrabber() == nullptr);
        QVERIFY(w.commits.isEmpty());
        QCOMPARE(w.recorder->text(), u"Ctrl+Alt+Shift+S"_s);
    }

    void applicationShortcutsWaitWhileRecording()
    {
        Window w;
        QShortcut shortcut(QKeySequence(u"Ctrl+K"_s), &w.window);
        QAction action;
        action.setShortcut(QKeySequence(u"Ctrl+J"_s));
        w.window.addAction(&action);
        QSignalSpy shortcutFired(&shortcut, &QShortcut::activated);
        QSignalSpy actionFired(&action, &QAction::triggered);
        QVERIFY(w.ready());

        w.recorder->setFocus();
        QTest::keyClick(w.recorder, Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(shortcutFired.size(), 1);

        w.record();
        QTest::keyClick(w.recorder, Qt::Key_K, Qt::ControlModifier);
        w.record();
        QTest::keyClick(w.recorder, Qt::Key_J, Qt::ControlModifier);
        QCOMPARE(shortcutFired.size(), 1);
        QCOMPARE(actionFired.size(), 0);
        QCOMPARE(w.commits,
            QList<FWKeyCombo>({ { 40, FWModifier::command }, { 38, FWModifier::command } }));
    }

    // A global shortcut is a passive grab on the root window: the server hands its presses to
    // the grab even when one of our own windows has the focus, unless the keyboard is grabbed.
    void globalShortcutsWaitWhileRecording()
    {
        if (QGuiApplication::platformName() != u"xcb"_s)
            QSKIP("X11 only");
        X11Hotkeys hotkeys;
        QList<std::uint32_t> pressed;
        hotkeys.installEventHandler([&](std::uint32_t, std::uint32_t id) { pressed << id; });
        QVERIFY(hotkeys.registerHotkey({ 40, commandOptionShift, 0x46575354, 4 }));
        Window w;
        QVERIFY(w.ready());
        const auto xdotool = [](const QString &keys) {
            return QProcess::execute(u"xdotool"_s, { u"key"_s, keys }) == 0;
        };

        QVERIFY(xdotool(u"ctrl+alt+shift+k"_s));
        QTRY_COMPARE(pressed, QList<std::uint32_t>({ 4 }));

        w.record();
        QVERIFY(xdotool(u"ctrl+alt+shift+k"_s));
        QTRY_COMPARE(w.commits, QList<FWKeyCombo>({ { 40, commandOptionShift } }));
        QCOMPARE(pressed.size(), 1);
        QVERIFY(QWidget::keyboardGrabber() == nullptr);

        // Once recording is over the grab has the key again (when the server has our release).
        QGuiApplication::sync();
        QVERIFY(xdotool(u"ctrl+alt+shift+k"_s));
        QTRY_COMPARE(pressed.size(), 2);
    }
};

QTEST_MAIN(RecorderViewTest)
#include "RecorderViewTest.moc"
