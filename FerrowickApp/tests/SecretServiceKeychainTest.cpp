#include "platform/SecretServiceKeychain.h"

#include "AppTestSupport.h"

using namespace FWKit;
using Ferrowick::SecretServiceKeychain;
using namespace Qt::StringLiterals;

namespace {

// Unique per run, so that reruns and parallel runs never see each other's items.
const QString serviceID =
    u"app.ferrowick.Ferrowick.test-%1"_s.arg(QCoreApplication::applicationPid());

QVariantMap query(const QString &account = u"login"_s)
{
    return { { KeychainAttribute::itemClass, KeychainAttribute::genericPassword },
        { KeychainAttribute::service, serviceID }, { KeychainAttribute::account, account },
        { KeychainAttribute::returnData, true } };
}

QVariantMap item(const QByteArray &data)
{
    QVariantMap attributes = query();
    attributes.insert(KeychainAttribute::valueData, data);
    return attributes;
}

// The tool's output; empty when it failed, which the caller's checks see.
QByteArray run(const QString &program, const QStringList &arguments, const QByteArray &input = {})
{
    return FWTest::runTool(program, arguments, input).value_or(QByteArray());
}

} // namespace

class SecretServiceKeychainTest : public QObject
{
    Q_OBJECT

    SecretServiceKeychain keychain;
    KeychainCredentialStore store { keychain, serviceID };

private slots:
    void init()
    {
        SKIP_OUTSIDE_HARNESS();
        // noService runs on a bus without a Secret Service, lockedCollection in a harness of its
        // own (it locks the keyring), everything else in the ordinary harness.
        const QByteArray function = QTest::currentTestFunction();
        const QString wanted = function == "noService" ? u"none"_s
            : function == "lockedCollection"           ? u"locked"_s
                                                       : u"unlocked"_s;
        const QString state = qEnvironmentVariable("FERROWICK_KEYRING") == u"none"_s ? u"none"_s
            : qEnvironmentVariableIsSet("FERROWICK_TEST_LOCK_KEYRING")               ? u"locked"_s
                                                                       : u"unlocked"_s;
        if (state != wanted)
            QSKIP(qPrintable(u"runs only with a keyring that is %1"_s.arg(wanted)));
        if (wanted != u"none"_s) {
            keychain.deleteMatching(query(u"login"_s));
            keychain.deleteMatching(query(u"password"_s));
        }
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << QString();
        QTest::newRow("non-ASCII") << u"Zoë Łukasz 東京 🔑"_s;
        QTest::newRow("embedded NUL") << u"a\0b"_s;
    }

    void roundTrip()
    {
        QFETCH(QString, value);
        QVERIFY(store.setPassword(u"first"_s));
        QVERIFY(store.setPassword(value)); // now an update of the existing item
        QCOMPARE(store.password(), value);
        QCOMPARE(store.login(), std::nullopt);
    }

    // Bytes as they were stored, even where they are no text; a second add is refused.
    void addTwiceIsDuplicate()
    {
        QCOMPARE(keychain.add(item("\xff\xfe")), KeychainStatus::success);
        QCOMPARE(keychain.add(item("two")), KeychainStatus::duplicateItem);
        QCOMPARE(keychain.copyMatching(query()).second, QVariantList { QByteArray("\xff\xfe") });
        QCOMPARE(store.login(), std::nullopt); // invalid UTF-8 reads as nothing
        const QByteArray found = run(u"secret-tool"_s, { u"search"_s, u"service"_s, serviceID });
        QVERIFY2(found.contains("label = Ferrowick login"), found);
    }

    void missingItem()
    {
        QCOMPARE(keychain.add(item("x")), KeychainStatus::success);
        QCOMPARE(keychain.deleteMatching(query()), KeychainStatus::success);
        QCOMPARE(keychain.deleteMatching(query()), KeychainStatus::itemNotFound);
        QCOMPARE(keychain.updateMatching(query(), item("y")), KeychainStatus::itemNotFound);
        QCOMPARE(keychain.copyMatching(query()),
            std::make_pair(KeychainStatus::itemNotFound, QVariantList {}));
    }

    void updatesItemStoredBySecretTool()
    {
        run(u"secret-tool"_s,
            { u"store"_s, u"--label=x"_s, u"service"_s, serviceID, u"account"_s, u"login"_s },
            "from tool");
        QCOMPARE(store.login(), u"from tool"_s);
        QCOMPARE(keychain.updateMatching(query(), item("changed")), KeychainStatus::success);
        const QStringList lookup { u"lookup"_s, u"service"_s, serviceID, u"account"_s, u"login"_s };
        QCOMPARE(run(u"secret-tool"_s, lookup), "changed");
        const QByteArray found =
            run(u"secret-tool"_s, { u"search"_s, u"--all"_s, u"service"_s, serviceID });
        QVERIFY2(found.contains("label = x") && found.count("label =") == 1, found);
    }

    void noService()
    {
        constexpr int none = SecretServiceKeychain::noService;
        QCOMPARE(keychain.add(item("x")), none);
        QCOMPARE(keychain.copyMatching(query()).first, none);
        QCOMPARE(keychain.updateMatching(query(), item("x")), none);
        QCOMPARE(keychain.deleteMatching(query()), none);
        QCOMPARE(store.login(), std::nullopt);
        QVERIFY(!store.setLogin(u"x"_s));
    }

    void lockedCollection()
    {
        QVERIFY(store.setLogin(u"old"_s));
        QVERIFY(!run(u"gdbus"_s,
            { u"call"_s, u"--session"_s, u"--dest"_s, u"org.freedesktop.secrets"_s,
                u"--object-path"_s, u"/org/freedesktop/secrets"_s, u"--method"_s,
                u"org.freedesktop.Secret.Service.Lock"_s,
                u"[objectpath '/org/freedesktop/secrets/aliases/default']"_s })
                     .isEmpty());

        constexpr int locked = SecretServiceKeychain::locked;
        QCOMPARE(keychain.copyMatching(query()).first, KeychainStatus::itemNotFound);
        QCOMPARE(keychain.add(item("new")), locked);
        QCOMPARE(keychain.updateMatching(query(), item("new")), locked);
        // A locked item is not "nothing to remove": the delete fails and the item stays.
        QCOMPARE(keychain.deleteMatching(query()), locked);
        QVERIFY(!store.setLogin(u"new"_s));
        QVERIFY(!store.setPassword(u"new"_s));
        const QByteArray found = run(u"gdbus"_s,
            { u"call"_s, u"--session"_s, u"--dest"_s, u"org.freedesktop.secrets"_s,
                u"--object-path"_s, u"/org/freedesktop/secrets"_s, u"--method"_s,
                u"org.freedesktop.Secret.Service.SearchItems"_s,
                u"{'service': '%1', 'account': 'login'}"_s.arg(serviceID) });
        QVERIFY2(found.startsWith("(@ao [], [objectpath "), found); // none unlocked, one locked
    }
};

QTEST_GUILESS_MAIN(SecretServiceKeychainTest)
#include "SecretServiceKeychainTest.moc"
