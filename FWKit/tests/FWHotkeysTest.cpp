#include "FakeHotkeyBackend.h"

#include <FWKit/FWHotkeys.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <memory>

using namespace FWKit;
using Action = FWHotkeyAction;

class FWHotkeysTest : public QObject
{
    Q_OBJECT

    FWTest::FakeHotkeyBackend backend;
    QList<Action> received;

    FWHotkeys::Handler recorder()
    {
        return [this](Action action) {
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

    // A refusal costs only its own action; unregister gives back every reservation.
    void registration()
    {
        FWHotkeyConfiguration config = FWHotkeyConfiguration::defaults();
        config.setCombo(Action::newBatch, std::nullopt);
        backend.refused.insert(*config.combo(Action::openFerrowick));

        FWHotkeys hotkeys(backend);
        const QList<FWHotkeyRef> refs = hotkeys.registerHotkeys(config, recorder());
        const QList<FWHotkeyDescriptor> expected { { 35, 0x0B00, 0x70773100, 3 },
            { 1, 0x0B00, 0x73773100, 4 } };
        QCOMPARE(backend.registered.values(), expected);
        QCOMPARE(refs.size(), expected.size());
        hotkeys.unregister(refs);
        QVERIFY(backend.registered.isEmpty());
    }

    void delivery_data()
    {
        QTest::addColumn<uint>("id");
        QTest::addColumn<int>("action"); // 0: dropped
        QTest::newRow("id 1") << 1u << 1;
        QTest::newRow("id 4") << 4u << 4;
        QTest::newRow("id 0") << 0u << 0;
        QTest::newRow("id 5") << 5u << 0;
    }

    // Never inside the backend's callback, whatever thread it runs on: only once the main
    // thread's event loop runs. The signature is not compared.
    void delivery()
    {
        QFETCH(uint, id);
        QFETCH(int, action);
        FWHotkeys hotkeys(backend);
        hotkeys.registerHotkeys({}, recorder());

        backend.press(0, id);
        std::unique_ptr<QThread> other(QThread::create([&] { backend.press(0, id); }));
        other->start();
        QVERIFY(other->wait(10'000));
        QVERIFY(received.isEmpty());

        QCoreApplication::sendPostedEvents(); // as returning to the event loop would
        QCOMPARE(received, QList<Action>(action ? 2 : 0, Action(action)));
    }

    // Installed once; a new handler takes over presses already queued, and may even replace
    // itself while it runs. Once the owner goes, queued and later presses are dropped.
    void handlerLifetime()
    {
        auto hotkeys = std::make_unique<FWHotkeys>(backend);
        hotkeys->registerHotkeys({}, [](Action) { QFAIL("the replaced handler ran"); });
        backend.press(0, 3);

        auto log = std::make_shared<QList<Action>>();
        hotkeys->registerHotkeys({}, [this, &hotkeys, log](Action action) {
            hotkeys->registerHotkeys({}, recorder());
            log->append(action); // the running handler must not have been destroyed
        });
        QCOMPARE(backend.installs, 1);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(*log, QList { Action::togglePaste });

        backend.press(0, 4);
        QCoreApplication::sendPostedEvents();
        backend.press(0, 1);
        hotkeys.reset();
        backend.press(0, 2);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(received, QList { Action::newShrink });
    }
};

QTEST_GUILESS_MAIN(FWHotkeysTest)
#include "FWHotkeysTest.moc"
