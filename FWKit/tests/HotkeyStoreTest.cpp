#include "FakePreferences.h"

#include <FWKit/HotkeyStore.h>

#include <QTest>

using namespace FWKit;
using Action = FWHotkeyAction;
using FWTest::FakePreferences;

namespace {
const QString key = HotkeyStore::preferencesKey;
const auto verificationFailed = std::unexpected(HotkeyStore::Error::verificationFailed);

// Sane, not the defaults, and newShrink binds key code 56 (Shift), which loading tolerates.
FWHotkeyConfiguration custom()
{
    return { { { Action::newBatch, { 122, FWModifier::control } },
        { Action::openFerrowick, { 19, FWModifier::command | FWModifier::option } },
        { Action::togglePaste, { 50, FWModifier::command } },
        { Action::newShrink, { 56, FWModifier::option | FWModifier::shift } } } };
}

QByteArray customWith(Action action, std::optional<FWKeyCombo> combo)
{
    FWHotkeyConfiguration configuration = custom();
    configuration.setCombo(action, combo);
    return configuration.toJson();
}
} // namespace

class HotkeyStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void load_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("asStored");

        QTest::newRow("sane") << custom().toJson() << true;
        QTest::newRow("togglePaste missing") << customWith(Action::togglePaste, {}) << false;
        QTest::newRow("shift only")
            << customWith(Action::newBatch, FWKeyCombo { 1, FWModifier::shift }) << false;
        QTest::newRow("no modifier") << customWith(Action::newBatch, FWKeyCombo { 1, 0 }) << false;
        QTest::newRow("shared combo")
            << customWith(Action::newBatch, custom().combo(Action::newShrink)) << false;
        QTest::newRow("empty") << FWHotkeyConfiguration().toJson() << false;
        QTest::newRow("not JSON") << QByteArray("{\"combos\":[1,") << false;
    }

    void load()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, asStored);
        FakePreferences preferences;
        preferences.values.insert(key, stored);

        QCOMPARE(HotkeyStore(preferences).load(),
            asStored ? custom() : FWHotkeyConfiguration::defaults());
        QCOMPARE(preferences.data(key), stored);
        QCOMPARE(preferences.writes + preferences.removals + preferences.syncs, 0);
    }

    void loadsDefaultsWithoutStoredData()
    {
        FakePreferences preferences;
        QCOMPARE(HotkeyStore(preferences).load(), FWHotkeyConfiguration::defaults());
        preferences.setString(key, QString::fromUtf8(custom().toJson()));
        QCOMPARE(HotkeyStore(preferences).load(), FWHotkeyConfiguration::defaults());
    }

    void savesVerifiedBytes()
    {
        FakePreferences preferences;
        HotkeyStore store(preferences);

        QVERIFY(store.save(custom()));
        QCOMPARE(preferences.data(key), custom().toJson());
        QCOMPARE(preferences.syncs, 1);
        QCOMPARE(store.load(), custom());

        // Any configuration saves; loading still insists on a sane one.
        QVERIFY(store.save({}));
        QCOMPARE(store.load(), FWHotkeyConfiguration::defaults());
    }

    void failsWhenReadBackDiffers()
    {
        FakePreferences preferences;
        HotkeyStore store(preferences);

        preferences.dropWrites = true;
        QCOMPARE(store.save(custom()), verificationFailed);
        preferences.values.insert(key, FWHotkeyConfiguration::defaults().toJson());
        QCOMPARE(store.save(custom()), verificationFailed);

        // Same configuration in other bytes still fails, and the write is not undone.
        preferences.dropWrites = false;
        preferences.alterWrites = [](const QByteArray &bytes) { return bytes + '\n'; };
        QCOMPARE(store.save(custom()), verificationFailed);
        QCOMPARE(store.load(), custom());
    }
};

QTEST_APPLESS_MAIN(HotkeyStoreTest)
#include "HotkeyStoreTest.moc"
