#include "ui/RecorderView.h"

#include "AppTestSupport.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QShortcut>
#include <QSignalSpy>
#include <QVBoxLayout>

using namespace Ferrowick;
using namespace FWKit;
using namespace Qt::StringLiterals;
using MaybeCombo = std::optional<FWKeyCombo>;

namespace {

constexpr std::uint32_t commandOptionShift =
    FWModifier::command | FWModifier::option | FWModifier::shift;

// A Shrink recorder in an active window of its own, with a line edit to take the focus away.
struct Window
{
    QWidget window;
    RecorderView *recorder = new RecorderView(&window);
    QLineEdit *other = new QLineEdit(&window);
    QList<FWKeyCombo> commits;
    int beeps = 0;

    Window()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(recorder);
        layout->addWidget(other);
        recorder->setAction(FWHotkeyAction::newShrink);
        recorder->setConfiguration(FWHotkeyConfiguration::defaults());
        recorder->setCommitHandler([this](const FWKeyCombo &combo) { commits << combo; });
        recorder->setBeep([this] { ++beeps; });
        window.show();
        window.activateWindow();
    }
    bool ready() { return QTest::qWaitForWindowActive(&window); }
    void record() { QTest::mouseClick(recorder, Qt::LeftButton); }
};

} // namespace

class RecorderViewTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SKIP_OUTSIDE_HARNESS(); }

    void keyPress_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("autoRepeat");
        QTest::addColumn<MaybeCombo>("committed"); // nothing: a beep, or for a modifier silence
        const auto row = [](const char *name, int key, Qt::KeyboardModifiers modifiers,
                             MaybeCombo committed, bool autoRepeat = false) {
            QTest::newRow(name) << key << modifiers << autoRepeat << committed;
        };
        const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
        const auto ctrlAltShift = ctrl | Qt::AltModifier | Qt::ShiftModifier;
        row("Ctrl+K", Qt::Key_K, ctrl, FWKeyCombo { 40, FWModifier::command });
        row("Shift+K: Shift is not enough", Qt::Key_K, Qt::ShiftModifier, {});
        row("modifier alone: the start of a combination", Qt::Key_Control, ctrl, {});
        row("auto-repeat", Qt::Key_K, ctrl, {}, true);
        row("another action's combination", Qt::Key_B, ctrlAltShift, {});
        row("its own combination", Qt::Key_S, ctrlAltShift, FWKeyCombo { 1, commandOptionShift });
        row("key outside the table", Qt::Key_F13, ctrl, {});
        row("shifted punctuation", Qt::Key_Exclam, ctrl | Qt::ShiftModifier,
            FWKeyCombo { 18, FWModifier::command | FWModifier::shift });
        row("Meta+Tab stays a key, not a focus move", Qt::Key_Tab, Qt::MetaModifier,
            FWKeyCombo { 48, FWModifier::control });
    }
    void keyPress()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, autoRepeat);
        QFETCH(MaybeCombo, committed);
        Window w;
        QVERIFY(w.ready());
        w.record();
        QVERIFY(w.recorder->isRecording());

        // Straight to the control, as the window delivers a key press: auto-repeat included.
        QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
        QApplication::sendEvent(w.recorder, &event);
        QCOMPARE(w.commits, committed ? QList { *committed } : QList<FWKeyCombo>());
        QCOMPARE(w.beeps, committed || key == Qt::Key_Control ? 0 : 1);
        QCOMPARE(w.recorder->isRecording(), !committed);
        QCOMPARE(w.recorder->hasFocus(), !committed);
        // The owner decides what is shown, once the combination is in effect.
        QCOMPARE(w.recorder->combo(), MaybeCombo({ 1, commandOptionShift }));
    }

    // Every way in and every way out; none changes the combination.
    void recordingEnds_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::newRow("click, Escape") << u"click"_s << u"escape"_s;
        QTest::newRow("Space, focus moves on") << u"space"_s << u"focus"_s;
        QTest::newRow("Return, another window active") << u"return"_s << u"window"_s;
    }
    void recordingEnds()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        Window w;
        QVERIFY(w.ready());
        QCOMPARE(w.recorder->text(), u"Ctrl+Alt+Shift+S"_s);
        if (start == u"click"_s) {
            w.record();
        } else {
            w.recorder->setFocus();
            QVERIFY(!w.recorder->isRecording());
            QTest::keyClick(w.recorder, start == u"space"_s ? Qt::Key_Space : Qt::Key_Return);
        }
        QVERIFY(w.recorder->isRecording());
        QCOMPARE(w.recorder->text(), u"Type shortcut\u2026"_s);

        QWidget elsewhere;
        if (end == u"escape"_s) {
            QTest::keyClick(w.recorder, Qt::Key_Escape);
        } else if (end == u"focus"_s) {
            QTest::mouseClick(w.other, Qt::LeftButton);
        } else {
            elsewhere.show();
            elsewhere.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        }
        QTRY_VERIFY(!w.recorder->isRecording());
        QVERIFY(!w.recorder->hasFocus());
        QVERIFY(QWidget::keyboardGrabber() == nullptr);
        QCOMPARE(w.recorder->text(), u"Ctrl+Alt+Shift+S"_s);
        QVERIFY(w.commits.isEmpty());
        QCOMPARE(w.beeps, 0);

        w.recorder->setCombo(std::nullopt);
        QCOMPARE(w.recorder->text(), u"\u2014"_s);
    }

    void applicationShortcutsWaitWhileRecording()
    {
        Window w;
        QShortcut shortcut(QKeySequence(u"Ctrl+K"_s), &w.window);
        QSignalSpy fired(&shortcut, &QShortcut::activated);
        QVERIFY(w.ready());
        w.recorder->setFocus();
        QTest::keyClick(w.recorder, Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(fired.size(), 1);

        w.record();
        QTest::keyClick(w.recorder, Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(fired.size(), 1);
        QCOMPARE(w.commits, QList<FWKeyCombo>({ { 40, FWModifier::command } }));
    }
};

QTEST_MAIN(RecorderViewTest)
#include "RecorderViewTest.moc"
