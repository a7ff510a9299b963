#include "FakeHotkeyBackend.h"

#include <FWKit/FWHotkeys.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <memory>

using namespace FWKit;
using namespace Qt::StringLiterals;

namespace {

const FWHotkeyConfiguration &defaults()
{
    return FWHotkeyConfiguration::defaults();
}

FWKeyCombo defaultCombo(int raw)
{
    return defaults().combos.at(FWHotkeyAction(raw));
}

// Runs the queued calls, as returning to the event loop would.
void deliver()
{
    QCoreApplication::sendPostedEvents();
}

} // namespace

class FWHotkeysTest : public QObject
{
    Q_OBJECT

    FWTest::FakeHotkeyBackend backend;
    QList<FWHotkeyAction> received;

    FWHotkeys::Handler recorder()
    {
        return [this](FWHotkeyAction action) {
            QCOMPARE(QThread::currentThread(), QCoreApplication::instance()->thread());
            received.append(action);
        };
    }

private slots:
    void init()
    {
        backend = {};
        received.clear();
    }

    void fourCharCode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("code");
        QTest::newRow("empty") << QString() << 0u;
        QTest::newRow("short, zero-padded") << u"ab"_s << 0x61620000u;
        QTest::newRow("four bytes") << u"abcd"_s << 0x61626364u;
        QTest::newRow("cut after four") << u"abcde"_s << 0x61626364u;
        QTest::newRow("UTF-8 bytes") << u"é"_s << 0xC3A90000u;
    }

    void fourCharCode()
    {
        QFETCH(QString, text);
        QFETCH(uint, code);
        QCOMPARE(fwFourCharCode(text), code);
    }

    void descriptorsOfDefaults()
    {
        const std::map<FWHotkeyAction, FWHotkeyDescriptor> expected {
            { FWHotkeyAction::newBatch, { 11, 0x0B00, 0x6E773100, 1 } },
            { FWHotkeyAction::openFerrowick, { 31, 0x0B00, 0x6F773100, 2 } },
            { FWHotkeyAction::togglePaste, { 35, 0x0B00, 0x70773100, 3 } },
            { FWHotkeyAction::newShrink, { 1, 0x0B00, 0x73773100, 4 } },
        };
        QVERIFY(FWHotkeys::descriptors(defaults()) == expected);
    }

    void registration_data()
    {
        QTest::addColumn<QList<int>>("bound");
        QTest::addColumn<QList<int>>("taken");
        QTest::newRow("all free") << QList { 1, 2, 3, 4 } << QList<int>();
        QTest::newRow("one taken") << QList { 1, 2, 3, 4 } << QList { 3 };
        QTest::newRow("two bound") << QList { 2, 4 } << QList<int>();
        QTest::newRow("two bound, one taken") << QList { 2, 4 } << QList { 2 };
        QTest::newRow("nothing bound") << QList<int>() << QList<int>();
    }

    // A refusal costs only its own action; unregister gives back every reservation.
    void registration()
    {
        QFETCH(QList<int>, bound);
        QFETCH(QList<int>, taken);
        FWHotkeyConfiguration config;
        for (const int raw : bound)
            config.combos[FWHotkeyAction(raw)] = defaultCombo(raw);
        for (const int raw : taken)
            backend.refused.insert(defaultCombo(raw));

        FWHotkeys hotkeys(backend);
        const QList<FWHotkeyRef> refs = hotkeys.registerHotkeys(config, recorder());
        QCOMPARE(refs.size(), bound.size() - taken.size());
        QCOMPARE(backend.registered.size(), refs.size());
        for (const int raw : bound)
            QCOMPARE(backend.isRegistered(defaultCombo(raw)), !taken.contains(raw));

        hotkeys.unregister(refs);
        QVERIFY(backend.registered.isEmpty());
    }

    void delivery_data()
    {
        QTest::addColumn<uint>("signature");
        QTest::addColumn<uint>("id");
        QTest::addColumn<int>("action"); // 0: ignored
        QTest::newRow("newBatch") << 0x6E773100u << 1u << 1;
        QTest::newRow("newShrink") << 0x73773100u << 4u << 4;
        QTest::newRow("signature not compared") << 0u << 3u << 3;
        QTest::newRow("id 0") << 0x6E773100u << 0u << 0;
        QTest::newRow("id 5") << 0x6E773100u << 5u << 0;
        QTest::newRow("id max") << 0x6E773100u << 0xFFFFFFFFu << 0;
    }

    // Never inside the backend's callback, whatever thread it runs on: only once the main
    // thread's event loop runs.
    void delivery()
    {
        QFETCH(uint, signature);
        QFETCH(uint, id);
        QFETCH(int, action);
        FWHotkeys hotkeys(backend);
        hotkeys.registerHotkeys(defaults(), recorder());

        backend.fire(signature, id);
        std::unique_ptr<QThread> other(QThread::create([&] { backend.fire(signature, id); }));
        other->start();
        QVERIFY(other->wait(10'000));
        QVERIFY(received.isEmpty());

        deliver();
        QCOMPARE(received, QList<FWHotkeyAction>(action ? 2 : 0, FWHotkeyAction(action)));
    }

    // Installed once; a new handler takes over presses already queued, and may even replace
    // itself while it runs.
    void handlerSwappedInPlace()
    {
        FWHotkeys hotkeys(backend);
        const auto refs = hotkeys.registerHotkeys(
            defaults(), [](FWHotkeyAction) { QFAIL("the replaced handler ran"); });
        QVERIFY(backend.press(defaultCombo(3)));

        auto log = std::make_shared<QList<FWHotkeyAction>>();
        hotkeys.registerHotkeys({}, [this, &hotkeys, log](FWHotkeyAction action) {
            hotkeys.registerHotkeys({}, recorder());
            log->append(action); // the running handler must not have been destroyed
        });
        QCOMPARE(backend.installs, 1);
        deliver();
        QCOMPARE(*log, QList { FWHotkeyAction::togglePaste });

        QVERIFY(backend.press(defaultCombo(4)));
        deliver();
        QCOMPARE(received, QList { FWHotkeyAction::newShrink });
    }

    // Neither a press queued before the owner goes nor one reported afterwards is delivered.
    void pressesAfterDestructionDropped()
    {
        auto hotkeys = std::make_unique<FWHotkeys>(backend);
        hotkeys->registerHotkeys(defaults(), recorder());
        QVERIFY(backend.press(defaultCombo(1)));
        hotkeys.reset();
        QVERIFY(backend.press(defaultCombo(1)));
        deliver();
        QVERIFY(received.isEmpty());
    }
};

QTEST_GUILESS_MAIN(FWHotkeysTest)
#include "FWHotkeysTest.moc"
