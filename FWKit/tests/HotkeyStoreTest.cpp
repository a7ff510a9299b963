#include "FakePreferences.h"

#include <FWKit/FWHotkeys.h>

#include <QTest>

using namespace FWKit;
using Action = FWHotkeyAction;
using FWTest::FakePreferences;

namespace {
const QString key = HotkeyStore::preferencesKey;

// Sane and unlike the defaults in every action; newShrink's key code 56 (Shift) is tolerated.
const FWHotkeyConfiguration custom { { { Action::newBatch, { 122, 0x1000 } },
    { Action::openFerrowick, { 19, 0x0900 } }, { Action::togglePaste, { 50, 0x0100 } },
    { Action::newShrink, { 56, 0x0A00 } } } };

QByteArray changed(Action action, std::optional<FWKeyCombo> combo)
{
    FWHotkeyConfiguration configuration = custom;
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
        QTest::addColumn<QByteArray>("stored"); // null: nothing stored
        QTest::addColumn<bool>("asStored");
        QTest::newRow("sane") << custom.toJson() << true;
        QTest::newRow("nothing stored") << QByteArray() << false;
        QTest::newRow("not JSON") << QByteArray("{\"combos\":[1,") << false;
        QTest::newRow("togglePaste missing") << changed(Action::togglePaste, {}) << false;
        QTest::newRow("shift only") << changed(Action::newBatch, { { 1, 0x0200 } }) << false;
        // newBatch takes newShrink's combo.
        QTest::newRow("shared") << changed(Action::newBatch, { { 56, 0x0A00 } }) << false;
    }

    // Anything implausible loads as the complete defaults, and what is stored stays as it was.
    void load()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, asStored);
        FakePreferences preferences;
        if (!stored.isNull())
            preferences.values.insert(key, stored);

        QCOMPARE(
            HotkeyStore(preferences).load(), asStored ? custom : FWHotkeyConfiguration::defaults());
        QCOMPARE(preferences.data(key).value_or(QByteArray()), stored);
        QCOMPARE(preferences.writes + preferences.removals + preferences.syncs, 0);
    }

    // Only the very bytes written count; a failed verification does not undo the write.
    void saveReadsBack()
    {
        FakePreferences preferences;
        HotkeyStore store(preferences);
        preferences.dropWrites = true;
        QVERIFY(!store.save(custom));
        preferences.dropWrites = false;
        QVERIFY(store.save(custom));
        QCOMPARE(store.load(), custom);

        preferences.alterWrites = [](const QByteArray &bytes) { return bytes + ' '; };
        QVERIFY(!store.save(custom));
        QCOMPARE(preferences.data(key), custom.toJson() + ' ');
        QCOMPARE(preferences.syncs, 3);
    }
};

QTEST_APPLESS_MAIN(HotkeyStoreTest)
#include "HotkeyStoreTest.moc"
