// The stored shortcut configuration, and how presses reach the handler.
#include "FakeHotkeyBackend.h"
#include "FakePreferences.h"

#include <FWKit/FWHotkeys.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

using namespace FWKit;
using Action = FWHotkeyAction;

// Sane and unlike the defaults in every action; newShrink's key code 56 (Shift) is tolerated.
static const FWHotkeyConfiguration custom { { { Action::newBatch, { 122, 0x1000 } },
    { Action::openFerrowick, { 19, 0x0900 } }, { Action::togglePaste, { 50, 0x0100 } },
    { Action::newShrink, { 56, 0x0A00 } } } };

static QByteArray changed(Action action, std::optional<FWKeyCombo> combo)
{
    FWHotkeyConfiguration configuration = custom;
    configuration.setCombo(action, combo);
    return configuration.toJson();
}

class HotkeysTest : public QObject
{
    Q_OBJECT

    FWTest::FakeHotkeyBackend backend;
    QList<Action> received;

private slots:
    void load_data()
    {
        QTest::addColumn<QByteArray>("stored"); // null: nothing stored
        QTest::addColumn<bool>("asStored");
        QTest::newRow("sane") << custom.toJson() << true;
        QTest::newRow("nothing stored") << QByteArray() << false;
        QTest::newRow("not JSON") << QByteArray("{\"combos\":[1,") << false;
        QTest::newRow("togglePaste missing") << changed(Action::togglePaste, {}) << false;
        QTest::newRow("shift only") << changed(Action::newBatch, { { 1, 0x0200 } }) << false;
        QTest::newRow("shared") << changed(Action::newBatch, { { 56, 0x0A00 } }) << false;
    }

    // Anything implausible loads as the complete defaults, and what is stored stays as it was.
    void load()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, asStored);
        FWTest::FakePreferences preferences;
        if (!stored.isNull())
            preferences.values.insert(HotkeyStore::preferencesKey, stored);
        QCOMPARE(
            HotkeyStore(preferences).load(), asStored ? custom : FWHotkeyConfiguration::defaults());
        QCOMPARE(preferences.data(HotkeyStore::preferencesKey).value_or(QByteArray()), stored);
        QCOMPARE(preferences.writes + preferences.removals, 0);
    }

    // Whatever thread the backend calls from, a press reaches the handler only once the main
    // thread's event loop runs, and ids of no action are dropped. A new handler takes over presses
    // already queued, even while it runs; once the owner goes, queued and later presses are
    // dropped.
    void dispatch()
    {
        auto hotkeys = std::make_unique<FWHotkeys>(backend);
        hotkeys->registerHotkeys({}, [](Action) { QFAIL("the replaced handler ran"); });
        std::unique_ptr<QThread> other(QThread::create(
            [&] { backend.press(0, 0), backend.press(0, 3), backend.press(0, 5); }));
        other->start();
        QVERIFY(other->wait(10'000));
        hotkeys->registerHotkeys({}, [this, &hotkeys](Action action) {
            QCOMPARE(QThread::currentThread(), thread());
            hotkeys->registerHotkeys({}, [this](Action next) { received.append(next); });
            received.append(action); // the running handler must still be alive
        });
        QCoreApplication::sendPostedEvents(); // as returning to the event loop would
        backend.press(0, 4);
        QCoreApplication::sendPostedEvents();
        backend.press(0, 1);
        hotkeys.reset();
        backend.press(0, 2);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(received, (QList { Action::togglePaste, Action::newShrink }));
    }
};

QTEST_GUILESS_MAIN(HotkeysTest)
#include "HotkeysTest.moc"
