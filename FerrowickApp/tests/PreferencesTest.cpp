#include "platform/Preferences.h"

#include <FWKit/FWHotkeys.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Ferrowick::Preferences;
using namespace Qt::StringLiterals;

class PreferencesTest : public QObject
{
    Q_OBJECT

private slots:
    void typedValuesSurviveTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Ferrowick.conf"_s);
        QFile legacy(path);
        QVERIFY(legacy.open(QIODevice::WriteOnly));
        legacy.write("[General]\nlogin=jane\npassword=\"p=w, d\"\n");
        legacy.close();

        {
            Preferences preferences(path);
            QCOMPARE(preferences.string(u"login"_s), u"jane"_s);
            QCOMPARE(preferences.string(u"password"_s), u"p=w, d"_s);
            QCOMPARE(preferences.data(u"login"_s), std::nullopt);
            preferences.setData(u"fwHotkeyConfiguration"_s, "{\"a\":[1,2]}\0\xff"_ba);
            preferences.remove(u"login"_s);
            preferences.sync();
        }
        Preferences reread(path);
        QCOMPARE(reread.data(u"fwHotkeyConfiguration"_s), "{\"a\":[1,2]}\0\xff"_ba);
        QCOMPARE(reread.string(u"fwHotkeyConfiguration"_s), std::nullopt);
        QCOMPARE(reread.string(u"login"_s), std::nullopt);
        QCOMPARE(reread.string(u"password"_s), u"p=w, d"_s);
    }

    // A save that never reached the disk must not read back as saved.
    void unwritableFileFailsTheSave()
    {
        QTemporaryDir dir;
        const QString blocker = dir.filePath(u"blocker"_s);
        QVERIFY(QFile(blocker).open(QIODevice::WriteOnly));
        Preferences preferences(blocker + u"/Ferrowick.conf"_s);
        FWKit::HotkeyStore store(preferences);
        QVERIFY(!store.save(FWKit::FWHotkeyConfiguration::defaults()).has_value());
        QCOMPARE(preferences.data(FWKit::HotkeyStore::preferencesKey), std::nullopt);
    }

    void standardLocationFollowsXdg()
    {
        QCOMPARE(Preferences().fileName(),
            qEnvironmentVariable("XDG_CONFIG_HOME") + u"/Ferrowick/Ferrowick.conf"_s);
    }
};

QTEST_GUILESS_MAIN(PreferencesTest)
#include "PreferencesTest.moc"
