#include "FakeCredentialStore.h"
#include "FakePreferences.h"

#include <FWKit/Credentials.h>

#include <QTest>

using namespace FWKit;
using Text = std::optional<QString>;

class CredentialMigrationTest : public QObject
{
    Q_OBJECT

private slots:
    void migrates_data()
    {
        QTest::addColumn<Text>("legacyLogin");
        QTest::addColumn<Text>("legacyPassword");
        QTest::addColumn<Text>("storeLogin");
        QTest::addColumn<Text>("storePassword");
        QTest::addColumn<QString>("failing"); // "login", "password", "mangled" or ""
        QTest::addColumn<bool>("copied");
        QTest::addColumn<bool>("legacyKept");
        QTest::addColumn<Text>("finalLogin");
        QTest::addColumn<Text>("finalPassword");

        const Text none;
        QTest::newRow("both copied") << Text("me") << Text("pw") << none << none << "" << true
                                     << false << Text("me") << Text("pw");
        QTest::newRow("store keeps its login") << Text("old") << none << Text("new") << none << ""
                                               << false << false << Text("new") << none;
        QTest::newRow("empty stored login counts") << Text("old") << Text("pw") << Text("") << none
                                                   << "" << true << false << Text("") << Text("pw");
        QTest::newRow("password write fails") << Text("me") << Text("pw") << none << none
                                              << "password" << false << true << Text("me") << none;
        QTest::newRow("login write fails")
            << Text("me") << Text("pw") << none << none << "login" << false << true << none << none;
        QTest::newRow("read-back differs") << Text("me") << none << none << none << "mangled"
                                           << false << true << Text("me?") << none;
        QTest::newRow("only a password") << none << Text("pw") << Text("x") << none << "" << true
                                         << false << Text("x") << Text("pw");
        QTest::newRow("stored password kept") << none << Text("old") << none << Text("pw") << ""
                                              << false << false << none << Text("pw");
    }

    void migrates()
    {
        QFETCH(Text, legacyLogin);
        QFETCH(Text, legacyPassword);
        QFETCH(Text, storeLogin);
        QFETCH(Text, storePassword);
        QFETCH(QString, failing);

        FWTest::FakePreferences defaults;
        if (legacyLogin)
            defaults.setString("login", *legacyLogin);
        if (legacyPassword)
            defaults.setString("password", *legacyPassword);
        FWTest::FakeCredentialStore store;
        store.storedLogin = storeLogin;
        store.storedPassword = storePassword;
        store.failLoginWrites = failing == "login";
        store.failPasswordWrites = failing == "password";
        if (failing == "mangled")
            store.alterWrites = [](const QString &value) { return value + '?'; };

        QTEST(CredentialMigration::migrateIfNeeded(defaults, store), "copied");
        QFETCH(bool, legacyKept);
        QCOMPARE(defaults.string("login"), legacyKept ? legacyLogin : std::nullopt);
        QCOMPARE(defaults.string("password"), legacyKept ? legacyPassword : std::nullopt);
        QCOMPARE(defaults.syncs, legacyKept ? 0 : 1);
        QTEST(store.storedLogin, "finalLogin");
        QTEST(store.storedPassword, "finalPassword");
    }

    void withoutLegacyKeysTheStoreIsUntouched()
    {
        FWTest::FakePreferences defaults;
        FWTest::FakeCredentialStore store;
        QVERIFY(!CredentialMigration::migrateIfNeeded(defaults, store));
        QCOMPARE(store.reads, 0);
        QCOMPARE(store.writes, 0);
        QCOMPARE(defaults.syncs, 1);
    }
};

QTEST_GUILESS_MAIN(CredentialMigrationTest)
#include "CredentialMigrationTest.moc"
