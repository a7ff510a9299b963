#include "platform/SecretServiceKeychain.h"

#include "AppTestSupport.h"
#include "platform/TurnCachedKeychain.h"

using namespace FWKit;
using Ferrowick::SecretServiceKeychain;
using namespace Qt::StringLiterals;

class SecretServiceKeychainTest : public QObject
{
    Q_OBJECT

    // Unique per run, so that reruns and parallel runs never see each other's items.
    const QString serviceID =
        u"app.ferrowick.Ferrowick.test-%1"_s.arg(QCoreApplication::applicationPid());
    const QVariantMap item { { KeychainAttribute::itemClass, KeychainAttribute::genericPassword },
        { KeychainAttribute::service, serviceID }, { KeychainAttribute::account, u"login"_s },
        { KeychainAttribute::valueData, "x"_ba } };
    SecretServiceKeychain keychain;

private slots:
    void initTestCase() { SKIP_OUTSIDE_HARNESS(); }

    // Through the cache the program reads with: a change made elsewhere is seen at the next pass
    // of the event loop, one made here at once. Values are bytes, not C strings: non-ASCII text
    // and a NUL survive.
    void sharesItemsWithSecretTool()
    {
        Ferrowick::TurnCachedKeychain cached(keychain);
        KeychainCredentialStore store(cached, serviceID);
        QCOMPARE(store.login(), std::nullopt);
        FWTest::runTool(u"secret-tool"_s,
            { u"store"_s, u"--label=x"_s, u"service"_s, serviceID, u"account"_s, u"login"_s },
            "from tool");
        QCoreApplication::processEvents();
        QCOMPARE(store.login(), u"from tool"_s);
        QCOMPARE(store.password(), std::nullopt);
        const QString value = u"Zoë Łukasz 東京 🔑 a\0b"_s;
        QVERIFY(store.setPassword(value)); // a new item
        QCOMPARE(store.password(), value);
        // The tool's item, changed in place.
        QCOMPARE(cached.updateMatching(item, item), KeychainStatus::success);
        QCOMPARE(store.login(), u"x"_s);
    }

    // Run by the registrations .noService (no Secret Service on the bus) and .locked (a keyring of
    // its own, which it locks). A locked item reads as missing, but is not "nothing to remove".
    void lockedOrMissing()
    {
        const bool locked = qEnvironmentVariableIsSet("FERROWICK_TEST_LOCK_KEYRING");
        if (!locked && qEnvironmentVariable("FERROWICK_KEYRING") != u"none"_s)
            QSKIP("needs a keyring that is locked or missing");
        if (locked) {
            QVERIFY(KeychainCredentialStore(keychain, serviceID).setLogin(u"old"_s));
            QVERIFY(FWTest::runTool(u"gdbus"_s,
                { u"call"_s, u"--session"_s, u"-d"_s, u"org.freedesktop.secrets"_s, u"-o"_s,
                    u"/org/freedesktop/secrets"_s, u"-m"_s,
                    u"org.freedesktop.Secret.Service.Lock"_s,
                    u"[objectpath '/org/freedesktop/secrets/aliases/default']"_s }));
        }
        const int code = locked ? SecretServiceKeychain::locked : SecretServiceKeychain::noService;
        QCOMPARE(keychain.copyMatching(item).first, locked ? KeychainStatus::itemNotFound : code);
        QCOMPARE(keychain.add(item), code);
        QCOMPARE(keychain.updateMatching(item, item), code);
        QCOMPARE(keychain.deleteMatching(item), code);
    }
};

QTEST_GUILESS_MAIN(SecretServiceKeychainTest)
#include "SecretServiceKeychainTest.moc"
