// The keychain credential store, and the move of legacy credentials into a store.
#include "FakeCredentialStore.h"
#include "FakePreferences.h"

#include <FWKit/Credentials.h>

#include <QTest>

using namespace FWKit;
using namespace FWKit::KeychainStatus;
using namespace Qt::StringLiterals;
using Text = std::optional<QString>;
using Map = QVariantMap;

// Answers copy, update, delete and add with their scripted status, success unless set.
class FakeKeychain : public KeychainServicing
{
public:
    QList<int> status;
    QVariantList items;
    QStringList calls;

    int op(const QString &name, int index) { return calls << name, status.value(index); }
    std::pair<int, QVariantList> copyMatching(const Map &) override
    {
        return { op("copy", 0), items };
    }
    int updateMatching(const Map &, const Map &) override { return op("update", 1); }
    int deleteMatching(const Map &) override { return op("delete", 2); }
    int add(const Map &) override { return op("add", 3); }
};

class CredentialsTest : public QObject
{
    Q_OBJECT

private slots:
    // A read is a value only on success; any failure is nothing stored, whatever came with it.
    // A write updates in place, adds when there is no item, and replaces one it may not change.
    void keychainStore_data()
    {
        QTest::addColumn<QList<int>>("status"); // of copy, update, delete, add
        QTest::addColumn<QString>("calls"); // empty: the write failed
        // The keychain's own codes for a locked collection and a missing service.
        const int locked = -25308, noService = -25291, none = itemNotFound;
        QTest::newRow("found, updated") << QList { success } << "copy update";
        QTest::newRow("none, added") << QList { none, none } << "copy update add";
        QTest::newRow("locked, replaced") << QList { locked, locked } << "copy update delete add";
        QTest::newRow("already gone")
            << QList { success, locked, none } << "copy update delete add";
        QTest::newRow("no service") << QList { noService, noService, noService } << "";
        // A duplicate after not-found is a failure, not a retry.
        QTest::newRow("add refused") << QList { success, none, success, duplicateItem } << "";
    }

    void keychainStore()
    {
        QFETCH(QList<int>, status);
        QFETCH(QString, calls);
        FakeKeychain keychain;
        keychain.status = status;
        keychain.items = { "bob"_ba };
        KeychainCredentialStore store(keychain, "app.test");
        QCOMPARE(store.password(), status[0] == success ? Text("bob") : Text());
        QCOMPARE(store.setPassword("new"), !calls.isEmpty());
        QCOMPARE(calls.isEmpty() ? calls : keychain.calls.join(' '), calls);
    }

    void migration_data()
    {
        // Legacy login and password, the store's before and after ("-" none, "" empty), then what
        // fails: a write, or the read-back ("mangled").
        QTest::addColumn<QString>("values");
        QTest::addColumn<bool>("copied");
        QTest::newRow("both copied") << "me pw - - me pw" << true;
        QTest::newRow("store keeps its login") << "old - new - new -" << false;
        QTest::newRow("empty stored login counts") << R"(old pw "" - "" pw)" << true;
        QTest::newRow("password write fails") << "me pw - - me - password" << false;
        QTest::newRow("login write fails") << "me pw - - - - login" << false;
        QTest::newRow("read-back differs") << "me - - - me? - mangled" << false;
    }

    // Legacy values leave the preferences only once the store reads them back, so that a failed
    // move is tried again at the next start.
    void migration()
    {
        QFETCH(QString, values);
        const QStringList list = values.split(' ');
        const auto value = [&](int i) {
            return list[i] == u"-"_s ? Text() : Text(QString(list[i]).remove('"'));
        };
        FWTest::FakePreferences defaults;
        for (const int i : { 0, 1 })
            if (value(i))
                defaults.setString(i ? "password" : "login", *value(i));
        FWTest::FakeCredentialStore store;
        // Swapped in: gcc's -O3 sees a copy-assignment of the optionals as reading them unset.
        Text stored[] { value(2), value(3) };
        store.storedLogin.swap(stored[0]);
        store.storedPassword.swap(stored[1]);
        store.failLoginWrites = list.value(6) == u"login"_s;
        store.failPasswordWrites = list.value(6) == u"password"_s;
        if (list.value(6) == u"mangled"_s)
            store.alterWrites = [](const QString &text) { return text + '?'; };
        QTEST(CredentialMigration::migrateIfNeeded(defaults, store), "copied");
        QCOMPARE(std::pair(defaults.string("login"), defaults.string("password")),
            list.size() > 6 ? std::pair(value(0), value(1)) : std::pair(Text(), Text()));
        QCOMPARE(defaults.syncs, list.size() > 6 ? 0 : 1); // kept after a failure
        QCOMPARE(std::pair(store.storedLogin, store.storedPassword), std::pair(value(4), value(5)));
    }
};

QTEST_GUILESS_MAIN(CredentialsTest)
#include "CredentialsTest.moc"
