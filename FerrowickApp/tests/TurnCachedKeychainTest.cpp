#include "platform/TurnCachedKeychain.h"

#include <QTest>

using namespace Ferrowick;

namespace {

// Counts the reads that reach the keyring; every item holds the number of reads so far.
class CountingKeychain : public FWKit::KeychainServicing
{
public:
    int reads = 0;

    std::int32_t add(const QVariantMap &) override { return 0; }
    std::pair<std::int32_t, QVariantList> copyMatching(const QVariantMap &) override
    {
        return { 0, { ++reads } };
    }
    std::int32_t updateMatching(const QVariantMap &, const QVariantMap &) override { return 0; }
    std::int32_t deleteMatching(const QVariantMap &) override { return 0; }
};

const QVariantMap login { { "account", "login" } };
const QVariantMap password { { "account", "password" } };

} // namespace

class TurnCachedKeychainTest : public QObject
{
    Q_OBJECT

private slots:
    void forgetsAtTheNextPassAndOnEveryWrite_data()
    {
        QTest::addColumn<QString>("between"); // what happens between two reads of the login
        QTest::addColumn<int>("reads"); // that reached the keyring
        QTest::addColumn<int>("answer"); // the second read's: which read answered it
        QTest::newRow("nothing") << "" << 1 << 1;
        QTest::newRow("another item read") << "read password" << 2 << 1;
        QTest::newRow("a pass of the event loop") << "events" << 2 << 2;
        QTest::newRow("add") << "add" << 2 << 2;
        QTest::newRow("update") << "update" << 2 << 2;
        QTest::newRow("delete") << "delete" << 2 << 2;
    }
    void forgetsAtTheNextPassAndOnEveryWrite()
    {
        QFETCH(QString, between);
        CountingKeychain keychain;
        TurnCachedKeychain cached(keychain);
        const auto first = cached.copyMatching(login);
        if (between == "read password")
            QCOMPARE(cached.copyMatching(password).second, QVariantList { 2 });
        else if (between == "events")
            QCoreApplication::processEvents();
        else if (between == "add")
            cached.add(login);
        else if (between == "update")
            cached.updateMatching(login, {});
        else if (between == "delete")
            cached.deleteMatching(login);
        const auto second = cached.copyMatching(login);
        QCOMPARE(first.second, QVariantList { 1 });
        QTEST(keychain.reads, "reads");
        QFETCH(int, answer);
        QCOMPARE(second.second, QVariantList { answer });
    }
};

QTEST_GUILESS_MAIN(TurnCachedKeychainTest)
#include "TurnCachedKeychainTest.moc"
