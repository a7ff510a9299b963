#include "platform/Preferences.h"

#include <FWKit/FWHotkeys.h>

#include <QTemporaryFile>
#include <QTest>

using Ferrowick::Preferences;
using namespace Qt::StringLiterals;

// Reading, writing and the legacy file are the end-to-end tests' (launch, settings).
class PreferencesTest : public QObject
{
    Q_OBJECT

private slots:
    // A save that never reached the disk must not read back as saved.
    void unwritableFileFailsTheSave()
    {
        QTemporaryFile blocker; // where the folder should be
        QVERIFY(blocker.open());
        Preferences preferences(blocker.fileName() + u"/Ferrowick.conf"_s);
        FWKit::HotkeyStore store(preferences);
        QVERIFY(!store.save(FWKit::FWHotkeyConfiguration::defaults()).has_value());
        QCOMPARE(preferences.data(FWKit::HotkeyStore::preferencesKey), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(PreferencesTest)
#include "PreferencesTest.moc"
