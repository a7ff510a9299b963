#include "platform/SecretServiceKeychain.h"

#include "AppTestSupport.h"
#include "platform/TurnCachedKeychain.h"

#include <QDBusConnectionInterface>
#include <QScopeGuard>
#include <QSignalSpy>

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

    // The session encrypts: a monitor of the bus sees the calls that carry the value, never the
    // value itself.
    void keepsSecretsOffTheBus()
    {
        QProcess monitor;
        monitor.start(u"dbus-monitor"_s, { u"--session"_s });
        const auto stop = qScopeGuard([&] {
            monitor.kill();
            monitor.waitForFinished();
        });
        QByteArray seen;
        const auto sees = [&](const QByteArray &text) {
            seen += monitor.readAllStandardOutput();
            return seen.contains(text);
        };
        QTRY_VERIFY_WITH_TIMEOUT(sees("member=NameLost"), 10'000); // it is monitoring now
        const QByteArray canary = "canary-" + serviceID.toLatin1();
        QVariantMap written = item;
        written[KeychainAttribute::account] = u"monitored"_s;
        written[KeychainAttribute::valueData] = canary;
        QCOMPARE(keychain.add(written), KeychainStatus::success);
        written[KeychainAttribute::returnData] = true;
        QCOMPARE(keychain.copyMatching(written),
            std::pair(KeychainStatus::success, QVariantList { canary }));
        // The monitor sees messages in order: once the marker shows, so has everything before it.
        const QString marker = u"marker.ferrowick.test%1"_s.arg(QCoreApplication::applicationPid());
        QDBusConnection::sessionBus().interface()->serviceOwner(marker);
        QTRY_VERIFY_WITH_TIMEOUT(sees(marker.toLatin1()), 10'000);
        QVERIFY(seen.contains("member=CreateItem") && seen.contains("member=GetSecrets"));
        QVERIFY(!seen.contains(canary));
    }

    // Run by the registrations .noService (no Secret Service on the bus) and .locked (a keyring of
    // its own, which it locks). A locked item is neither missing nor "nothing to remove".
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
        QCOMPARE(keychain.copyMatching(item).first, code);
        QCOMPARE(keychain.add(item), code);
        QCOMPARE(keychain.updateMatching(item, item), code);
        QCOMPARE(keychain.deleteMatching(item), code);
    }

    // Run by the registration .prompt: a stand-in service whose item is locked behind a prompt
    // that answers at once. Reads answer "locked" without waiting for it; one prompt at a time.
    void unlocksAtPrompt_data()
    {
        QTest::addColumn<bool>("dismiss");
        QTest::newRow("unlocked") << false;
        QTest::newRow("dismissed") << true;
    }
    void unlocksAtPrompt()
    {
        if (qEnvironmentVariable("FERROWICK_KEYRING") != u"none"_s)
            QSKIP("needs a bus without a keyring");
        QFETCH(bool, dismiss);
        const QString calls = QDir(qEnvironmentVariable("FERROWICK_SANDBOX"))
                                  .filePath(u"stand-in-%1.log"_s.arg(dismiss));
        QProcess standIn;
        standIn.start(u"/usr/bin/python3"_s,
            { u"-m"_s, u"dbusmock"_s, u"--template"_s, QString::fromUtf8(SECRET_SERVICE_STAND_IN),
                u"--logfile"_s, calls, u"--parameters"_s,
                dismiss ? u"{\"dismiss\": true}"_s : u"{}"_s });
        const auto stop = qScopeGuard([&] {
            standIn.terminate();
            standIn.waitForFinished();
        });
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(
                                     u"org.freedesktop.secrets"_s),
            10'000);
        // Exact after any blocking call: the stand-in takes our calls in the order we sent them.
        const auto unlockCalls = [&] {
            QFile log(calls);
            return log.open(QIODevice::ReadOnly) ? log.readAll().count(" Unlock ") : -1;
        };

        SecretServiceKeychain promptedKeychain;
        QSignalSpy unlocked(&promptedKeychain, &Ferrowick::KeyringLock::unlocked);
        QVariantMap read = item;
        read[KeychainAttribute::returnData] = true;
        QCOMPARE(promptedKeychain.copyMatching(read).first, SecretServiceKeychain::locked);
        QCOMPARE(promptedKeychain.copyMatching(read).first, SecretServiceKeychain::locked);
        QVERIFY(promptedKeychain.isLocked());
        if (!dismiss) {
            QVERIFY(unlocked.wait(10'000));
            QVERIFY(!promptedKeychain.isLocked());
            QCOMPARE(promptedKeychain.copyMatching(read),
                std::pair(KeychainStatus::success, QVariantList { "from prompt"_ba }));
            QCOMPARE(unlockCalls(), 1);
            return;
        }
        // After a dismissal only the next write asks again.
        QTRY_VERIFY_WITH_TIMEOUT(
            [] {
                Ferrowick::DebugLog::flush();
                QFile log(Ferrowick::DebugLog::filePath());
                return log.open(QIODevice::ReadOnly) && log.readAll().contains("dismissed");
            }(),
            10'000);
        for (int pass = 0; pass < 2; ++pass) // the second, so the stand-in has seen the first's
            QCOMPARE(promptedKeychain.copyMatching(read).first, SecretServiceKeychain::locked);
        QCOMPARE(unlockCalls(), 1);
        QCOMPARE(promptedKeychain.add(item), SecretServiceKeychain::locked);
        QCOMPARE(promptedKeychain.copyMatching(read).first, SecretServiceKeychain::locked);
        QCOMPARE(unlockCalls(), 2);
        QCOMPARE(unlocked.count(), 0);
    }
};

QTEST_GUILESS_MAIN(SecretServiceKeychainTest)
#include "SecretServiceKeychainTest.moc"
