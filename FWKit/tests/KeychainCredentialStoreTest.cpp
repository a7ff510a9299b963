#include <FWKit/KeychainCredentialStore.h>

#include <QTest>

#include <optional>

using namespace FWKit;
namespace Attr = FWKit::KeychainAttribute;

namespace {

const QString serviceID = QStringLiteral("app.ferrowick.Ferrowick");
constexpr std::int32_t interactionNotAllowed = -25308;
constexpr std::int32_t authFailed = -25293;

// A keychain of generic-password items keyed by service and account. Each operation behaves as
// the real one unless a status is forced for it, in which case it changes nothing. Every call is
// recorded.
class FakeKeychain : public KeychainServicing
{
public:
    struct Call
    {
        QString operation;
        QVariantMap query;
        QVariantMap attributes;
    };

    QList<Call> calls;
    QMap<QString, QVariantMap> items; // by account
    std::optional<std::int32_t> addStatus, updateStatus, deleteStatus;
    std::optional<std::pair<std::int32_t, QVariantList>> copyAnswer;

    QStringList operations() const
    {
        QStringList names;
        for (const Call &call : calls)
            names << call.operation;
        return names;
    }

    std::int32_t add(const QVariantMap &attributes) override
    {
        calls.append({ "add", {}, attributes });
        if (addStatus)
            return *addStatus;
        const QString account = accountOf(attributes);
        if (items.contains(account))
            return KeychainStatus::duplicateItem;
        items.insert(account, attributes);
        return KeychainStatus::success;
    }

    std::pair<std::int32_t, QVariantList> copyMatching(const QVariantMap &query) override
    {
        calls.append({ "copyMatching", query, {} });
        if (copyAnswer)
            return *copyAnswer;
        const QString account = accountOf(query);
        if (!items.contains(account))
            return { KeychainStatus::itemNotFound, {} };
        return { KeychainStatus::success, { items.value(account).value(Attr::valueData) } };
    }

    std::int32_t updateMatching(const QVariantMap &query, const QVariantMap &attributes) override
    {
        calls.append({ "update", query, attributes });
        if (updateStatus)
            return *updateStatus;
        const QString account = accountOf(query);
        if (!items.contains(account))
            return KeychainStatus::itemNotFound;
        items[account].insert(attributes);
        return KeychainStatus::success;
    }

    std::int32_t deleteMatching(const QVariantMap &query) override
    {
        calls.append({ "delete", query, {} });
        if (deleteStatus)
            return *deleteStatus;
        return items.remove(accountOf(query)) > 0 ? KeychainStatus::success
                                                  : KeychainStatus::itemNotFound;
    }

private:
    static QString accountOf(const QVariantMap &query)
    {
        // Items of another service are not ours: keep them apart.
        return query.value(Attr::service).toString() + u'/' + query.value(Attr::account).toString();
    }
};

QVariantMap baseQuery(const QString &account)
{
    return { { Attr::itemClass, Attr::genericPassword }, { Attr::service, serviceID },
        { Attr::account, account } };
}

QString key(const QString &account)
{
    return serviceID + u'/' + account;
}

QVariantMap existingItem(const QString &account, const QByteArray &data)
{
    QVariantMap item = baseQuery(account);
    item.insert(Attr::valueData, data);
    item.insert(Attr::accessible, QStringLiteral("whenUnlocked"));
    return item;
}

} // namespace

using MaybeString = std::optional<QString>;

class KeychainCredentialStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void writes_data();
    void writes();
    void queriesCarryExactlyTheBaseEntries();
    void roundTrips_data();
    void roundTrips();
    void accountsAreSeparate();
};

void KeychainCredentialStoreTest::reads_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QVariantList>("items");
    QTest::addColumn<MaybeString>("expected");

    const QVariant bob = QByteArray("bob");
    QTest::newRow("found") << 0 << QVariantList { bob } << MaybeString("bob");
    QTest::newRow("first of several")
        << 0 << QVariantList { bob, QByteArray("eve") } << MaybeString("bob");
    QTest::newRow("empty data is an empty string")
        << 0 << QVariantList { QByteArray() } << MaybeString(QString());
    QTest::newRow("non-ASCII") << 0 << QVariantList { QByteArray("J\xc3\xbcrgen \xf0\x9f\x94\x91") }
                               << MaybeString(QStringLiteral("J\u00fcrgen \U0001F511"));
    QTest::newRow("embedded NUL") << 0 << QVariantList { QByteArray("a\0b", 3) }
                                  << MaybeString(QStringView(u"a\0b", 3).toString());
    QTest::newRow("byte-order mark kept") << 0 << QVariantList { QByteArray("\xef\xbb\xbfx") }
                                          << MaybeString(QStringLiteral("\ufeffx"));
    QTest::newRow("not found") << int(KeychainStatus::itemNotFound) << QVariantList()
                               << MaybeString();
    QTest::newRow("failure status with data")
        << int(interactionNotAllowed) << QVariantList { bob } << MaybeString();
    QTest::newRow("success without items") << 0 << QVariantList() << MaybeString();
    QTest::newRow("not bytes") << 0 << QVariantList { QStringLiteral("bob") } << MaybeString();
    QTest::newRow("first not bytes") << 0 << QVariantList { QVariant(), bob } << MaybeString();
    QTest::newRow("invalid byte") << 0 << QVariantList { QByteArray("bob\xff") } << MaybeString();
    QTest::newRow("cut-off sequence")
        << 0 << QVariantList { QByteArray("ab\xe2\x82") } << MaybeString();
    QTest::newRow("overlong encoding")
        << 0 << QVariantList { QByteArray("\xc0\xaf") } << MaybeString();
    QTest::newRow("encoded surrogate")
        << 0 << QVariantList { QByteArray("\xed\xa0\x80") } << MaybeString();
    QTest::newRow("beyond U+10FFFF")
        << 0 << QVariantList { QByteArray("\xf4\x90\x80\x80") } << MaybeString();
}

void KeychainCredentialStoreTest::reads()
{
    QFETCH(int, status);
    QFETCH(QVariantList, items);
    QFETCH(MaybeString, expected);

    FakeKeychain keychain;
    keychain.copyAnswer = { status, items };
    const KeychainCredentialStore store(keychain, serviceID);

    const MaybeString login = store.login();
    QCOMPARE(login.has_value(), expected.has_value());
    if (expected)
        QCOMPARE(*login, *expected);
}

void KeychainCredentialStoreTest::writes_data()
{
    QTest::addColumn<bool>("itemExists");
    QTest::addColumn<std::optional<std::int32_t>>("updateStatus");
    QTest::addColumn<std::optional<std::int32_t>>("deleteStatus");
    QTest::addColumn<std::optional<std::int32_t>>("addStatus");
    QTest::addColumn<QStringList>("operations");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("itemStored"); // with the new value afterwards

    using S = std::optional<std::int32_t>;
    const S asStored;
    QTest::newRow("no item: added") << false << asStored << asStored << asStored
                                    << QStringList { "update", "add" } << true << true;
    QTest::newRow("existing item: updated in place")
        << true << asStored << asStored << asStored << QStringList { "update" } << true << true;
    QTest::newRow("update refused: replaced")
        << true << S(authFailed) << asStored << asStored
        << QStringList { "update", "delete", "add" } << true << true;
    QTest::newRow("update refused, nothing to delete: added")
        << false << S(authFailed) << asStored << asStored
        << QStringList { "update", "delete", "add" } << true << true;
    QTest::newRow("update and delete refused: old item kept")
        << true << S(authFailed) << S(interactionNotAllowed) << asStored
        << QStringList { "update", "delete" } << false << false;
    QTest::newRow("add refused") << false << asStored << asStored << S(interactionNotAllowed)
                                 << QStringList { "update", "add" } << false << false;
    QTest::newRow("update refused, add refused after delete: no item")
        << true << S(authFailed) << asStored << S(interactionNotAllowed)
        << QStringList { "update", "delete", "add" } << false << false;
    // Not-found from the update means "add", and a duplicate then is a failure, not a retry.
    QTest::newRow("added elsewhere meanwhile")
        << false << S(KeychainStatus::itemNotFound) << asStored << S(KeychainStatus::duplicateItem)
        << QStringList { "update", "add" } << false << false;
}

void KeychainCredentialStoreTest::writes()
{
    QFETCH(bool, itemExists);
    QFETCH(std::optional<std::int32_t>, updateStatus);
    QFETCH(std::optional<std::int32_t>, deleteStatus);
    QFETCH(std::optional<std::int32_t>, addStatus);
    QFETCH(QStringList, operations);
    QFETCH(bool, result);
    QFETCH(bool, itemStored);

    FakeKeychain keychain;
    const QVariantMap oldItem = existingItem("password", "old");
    if (itemExists)
        keychain.items.insert(key("password"), oldItem);
    keychain.updateStatus = updateStatus;
    keychain.deleteStatus = deleteStatus;
    keychain.addStatus = addStatus;
    KeychainCredentialStore store(keychain, serviceID);

    QCOMPARE(store.setPassword("new"), result);
    QCOMPARE(keychain.operations(), operations);

    const bool hasNew =
        keychain.items.value(key("password")).value(Attr::valueData) == QByteArray("new");
    QCOMPARE(hasNew, itemStored);
    if (operations == QStringList { "update" }) {
        // Changed in place: the item keeps the accessibility it was created with.
        QCOMPARE(keychain.items.value(key("password")).value(Attr::accessible), "whenUnlocked");
    }
    if (operations == QStringList { "update", "delete" }) {
        // The delete was refused: the old item stays as it was.
        QCOMPARE(keychain.items.value(key("password")), oldItem);
    }
}

void KeychainCredentialStoreTest::queriesCarryExactlyTheBaseEntries()
{
    FakeKeychain keychain;
    keychain.updateStatus = authFailed;
    KeychainCredentialStore store(keychain, serviceID);

    QVERIFY(store.setLogin("bob"));

    QCOMPARE(keychain.operations(), QStringList({ "update", "delete", "add" }));
    const QVariantMap base = baseQuery("login");
    QCOMPARE(keychain.calls[0].query, base);
    QCOMPARE(keychain.calls[0].attributes, QVariantMap({ { Attr::valueData, QByteArray("bob") } }));
    QCOMPARE(keychain.calls[1].query, base);
    QVariantMap added = base;
    added.insert(Attr::valueData, QByteArray("bob"));
    added.insert(Attr::accessible, Attr::accessibleAfterFirstUnlock);
    QCOMPARE(keychain.calls[2].attributes, added);
    QCOMPARE(keychain.calls[2].attributes.value(Attr::valueData).typeId(), QMetaType::QByteArray);

    keychain.calls.clear();
    QCOMPARE(store.password(), std::nullopt);
    QVariantMap read = baseQuery("password");
    read.insert(Attr::returnData, true);
    read.insert(Attr::matchLimit, Attr::matchLimitOne);
    QCOMPARE(keychain.operations(), QStringList { "copyMatching" });
    QCOMPARE(keychain.calls[0].query, read);
}

void KeychainCredentialStoreTest::roundTrips_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("stored");

    QTest::newRow("ASCII") << "bob" << QByteArray("bob");
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("non-ASCII") << QStringLiteral("Jürgen-日本-🔑")
                               << QByteArray(
                                      "J\xc3\xbcrgen-\xe6\x97\xa5\xe6\x9c\xac-\xf0\x9f\x94\x91");
    QTest::newRow("decomposed kept as is") << QStringLiteral("e\u0301") << QByteArray("e\xcc\x81");
    QTest::newRow("leading byte-order mark")
        << QStringLiteral("\ufeffpw") << QByteArray("\xef\xbb\xbfpw");
}

void KeychainCredentialStoreTest::roundTrips()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, stored);

    FakeKeychain keychain;
    KeychainCredentialStore store(keychain, serviceID);

    QVERIFY(store.setLogin(value));
    QCOMPARE(keychain.items.value(key("login")).value(Attr::valueData).toByteArray(), stored);
    const MaybeString login = store.login();
    QVERIFY(login.has_value());
    QCOMPARE(*login, value);

    // Writing again, now over the existing item.
    QVERIFY(store.setLogin(value + "2"));
    QCOMPARE(store.login(), value + "2");
}

void KeychainCredentialStoreTest::accountsAreSeparate()
{
    FakeKeychain keychain;
    keychain.items.insert(serviceID + "-other/login", existingItem("login", "stranger"));
    KeychainCredentialStore store(keychain, serviceID);
    const KeychainCredentialStore copy = store;

    QVERIFY(store.setLogin("bob"));
    QVERIFY(store.setPassword("secret"));

    QCOMPARE(copy.login(), "bob");
    QCOMPARE(copy.password(), "secret");
    QCOMPARE(KeychainCredentialStore(keychain, serviceID + "-other").login(), "stranger");
}

QTEST_GUILESS_MAIN(KeychainCredentialStoreTest)
#include "KeychainCredentialStoreTest.moc"
