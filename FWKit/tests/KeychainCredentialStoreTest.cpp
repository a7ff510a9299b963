#include <FWKit/Credentials.h>

#include <QTest>

#include <optional>

using namespace FWKit;
namespace Attr = FWKit::KeychainAttribute;
using namespace Qt::StringLiterals;
using MaybeString = std::optional<QString>;

namespace {

const QString serviceID = QStringLiteral("app.ferrowick.Ferrowick");
constexpr int ok = KeychainStatus::success;
constexpr int notFound = KeychainStatus::itemNotFound;
constexpr int refused = -25293;
constexpr int duplicate = KeychainStatus::duplicateItem;

// Answers each operation with its scripted status (success unless set) and records the calls.
class FakeKeychain : public KeychainServicing
{
public:
    QHash<QString, int> status;
    QVariantList copyItems;
    QList<QVariantList> calls; // operation, query (for add the attributes), changes
    QStringList operations;

    std::int32_t add(const QVariantMap &a) override { return record({ "add", a }); }
    std::pair<std::int32_t, QVariantList> copyMatching(const QVariantMap &q) override
    {
        return { record({ "copy", q }), copyItems };
    }
    std::int32_t updateMatching(const QVariantMap &q, const QVariantMap &c) override
    {
        return record({ "update", q, c });
    }
    std::int32_t deleteMatching(const QVariantMap &q) override { return record({ "delete", q }); }

private:
    int record(const QVariantList &call)
    {
        calls << call;
        operations << call[0].toString();
        return status.value(operations.last());
    }
};

QVariantMap baseQuery(const QString &account, const QVariantMap &extra = {})
{
    QVariantMap query { { Attr::itemClass, Attr::genericPassword }, { Attr::service, serviceID },
        { Attr::account, account } };
    query.insert(extra);
    return query;
}

} // namespace

class KeychainCredentialStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void reads_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QVariant>("data"); // invalid: no items
        QTest::addColumn<MaybeString>("value");

        QTest::newRow("empty is a value") << ok << QVariant(""_ba) << MaybeString("");
        QTest::newRow("non-ASCII") << ok << QVariant("J\xc3\xbcrgen-\xf0\x9f\x94\x91"_ba)
                                   << MaybeString(u"J\u00fcrgen-\U0001F511"_s);
        QTest::newRow("byte-order mark kept")
            << ok << QVariant("\xef\xbb\xbfpw"_ba) << MaybeString(u"\ufeffpw"_s);
        QTest::newRow("failure with data") << refused << QVariant("bob"_ba) << MaybeString();
        QTest::newRow("success without items") << ok << QVariant() << MaybeString();
        QTest::newRow("not bytes") << ok << QVariant(u"bob"_s) << MaybeString();
        QTest::newRow("invalid byte") << ok << QVariant("bob\xff"_ba) << MaybeString();
        QTest::newRow("cut-off sequence") << ok << QVariant("ab\xe2\x82"_ba) << MaybeString();
    }

    void reads()
    {
        QFETCH(int, status);
        QFETCH(QVariant, data);
        QFETCH(MaybeString, value);
        FakeKeychain keychain;
        keychain.status["copy"] = status;
        if (data.isValid())
            keychain.copyItems = { data };
        KeychainCredentialStore store(keychain, serviceID);

        QCOMPARE(store.password(), value);
        QCOMPARE(keychain.calls[0][1].toMap().value(Attr::account), "password");
        if (value) { // and a write stores what reads back
            QVERIFY(store.setPassword(*value));
            QCOMPARE(keychain.calls[1][2], QVariant(QVariantMap { { Attr::valueData, data } }));
        }
    }

    void writes_data()
    {
        QTest::addColumn<int>("update");
        QTest::addColumn<int>("remove");
        QTest::addColumn<int>("add");
        QTest::addColumn<QString>("operations");
        QTest::addColumn<bool>("result");

        QTest::newRow("updated in place") << ok << ok << ok << "update" << true;
        QTest::newRow("no item: added") << notFound << ok << ok << "update add" << true;
        QTest::newRow("update refused: replaced")
            << refused << ok << ok << "update delete add" << true;
        QTest::newRow("nothing to delete")
            << refused << notFound << ok << "update delete add" << true;
        QTest::newRow("delete refused") << refused << refused << ok << "update delete" << false;
        // A duplicate after not-found is a failure, not a retry.
        QTest::newRow("add refused") << notFound << ok << duplicate << "update add" << false;
    }

    void writes()
    {
        QFETCH(int, update);
        QFETCH(int, remove);
        QFETCH(int, add);
        QFETCH(QString, operations);
        QFETCH(bool, result);
        FakeKeychain keychain;
        keychain.status = { { "update", update }, { "delete", remove }, { "add", add } };

        QCOMPARE(KeychainCredentialStore(keychain, serviceID).setPassword("new"), result);
        QCOMPARE(keychain.operations.join(u' '), operations);
        QCOMPARE(keychain.calls[0][1], baseQuery("password"));
    }

    void itemLayout()
    {
        FakeKeychain keychain;
        keychain.status["update"] = refused; // so that the write runs every step
        KeychainCredentialStore store(keychain, serviceID);

        QVERIFY(store.setLogin("bob"));
        store.login(); // read from the keychain even right after a write: no cache

        const QVariantMap bob { { Attr::valueData, QByteArray("bob") } };
        const QVariantMap added { { Attr::valueData, QByteArray("bob") },
            { Attr::accessible, Attr::accessibleAfterFirstUnlock } };
        const QVariantMap read { { Attr::returnData, true },
            { Attr::matchLimit, Attr::matchLimitOne } };
        const QList<QVariantList> expected { { "update", baseQuery("login"), bob },
            { "delete", baseQuery("login") }, { "add", baseQuery("login", added) },
            { "copy", baseQuery("login", read) } };
        QCOMPARE(keychain.calls, expected);
    }
};

QTEST_GUILESS_MAIN(KeychainCredentialStoreTest)
#include "KeychainCredentialStoreTest.moc"
