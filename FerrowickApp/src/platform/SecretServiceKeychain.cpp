#include "SecretServiceKeychain.h"

#include "AppId.h"

#include <QByteArray>
#include <QVariant>

// GLib names struct members `signals`, which Qt defines as a keyword; nothing here needs it.
#undef signals
#include <libsecret/secret.h>
#include <memory>
#include <optional>

namespace Ferrowick {

namespace {

using namespace FWKit;

// Matching ignores the schema name, so items stored by other tools (secret-tool) are found too.
SecretSchema makeItemSchema()
{
    SecretSchema schema {};
    schema.name = appIdText;
    schema.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
    schema.attributes[0] = { "service", SECRET_SCHEMA_ATTRIBUTE_STRING };
    schema.attributes[1] = { "account", SECRET_SCHEMA_ATTRIBUTE_STRING };
    return schema;
}

const SecretSchema itemSchema = makeItemSchema();

struct GLibRelease
{
    void operator()(GError *error) const { g_error_free(error); }
    void operator()(GHashTable *table) const { g_hash_table_unref(table); }
    void operator()(SecretValue *value) const { secret_value_unref(value); }
    void operator()(GList *items) const { g_list_free_full(items, g_object_unref); }
};

template<typename T>
using GLibPtr = std::unique_ptr<T, GLibRelease>;

// The libsecret attributes of a query; the table points into the byte arrays held here.
class ItemAttributes
{
public:
    explicit ItemAttributes(const QVariantMap &query)
        : m_service(query.value(KeychainAttribute::service).toString().toUtf8())
        , m_account(query.value(KeychainAttribute::account).toString().toUtf8())
        , m_table(g_hash_table_new(g_str_hash, g_str_equal))
    {
        const QVariant itemClass = query.value(KeychainAttribute::itemClass);
        // Without both attributes a query would match (and a delete remove) foreign items.
        m_valid = (!itemClass.isValid() || itemClass == KeychainAttribute::genericPassword) &&
            !m_service.isEmpty() && !m_account.isEmpty();
        g_hash_table_insert(m_table.get(), const_cast<char *>("service"), m_service.data());
        g_hash_table_insert(m_table.get(), const_cast<char *>("account"), m_account.data());
    }
    ItemAttributes(const ItemAttributes &) = delete;
    ItemAttributes &operator=(const ItemAttributes &) = delete;

    bool valid() const { return m_valid; }
    GHashTable *table() const { return m_table.get(); }
    const QByteArray &account() const { return m_account; }

private:
    QByteArray m_service;
    QByteArray m_account;
    GLibPtr<GHashTable> m_table;
    bool m_valid = false;
};

std::int32_t statusOf(const GError *error)
{
    if (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER))
        return SecretServiceKeychain::noService;
    if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED))
        return SecretServiceKeychain::locked;
    return SecretServiceKeychain::failed;
}

std::optional<QByteArray> valueData(const QVariantMap &attributes)
{
    const QVariant data = attributes.value(KeychainAttribute::valueData);
    if (data.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return data.toByteArray();
}

GLibPtr<SecretValue> secretOf(const QByteArray &bytes)
{
    return GLibPtr<SecretValue>(secret_value_new(bytes.constData(), bytes.size(), "text/plain"));
}

// Every item matching the attributes: success with at least one, all unlocked, or the failure.
// A synchronous search in the caller's context: libsecret's own clear call, failing for want of a
// Secret Service, leaks the data of its D-Bus proxy's signal subscriptions.
std::pair<std::int32_t, GLibPtr<GList>> unlockedItems(const ItemAttributes &item)
{
    GError *rawError = nullptr;
    GLibPtr<GList> items(secret_service_search_sync(
        nullptr, &itemSchema, item.table(), SECRET_SEARCH_ALL, nullptr, &rawError));
    if (const GLibPtr<GError> error(rawError); error)
        return { statusOf(error.get()), nullptr };
    if (!items)
        return { KeychainStatus::itemNotFound, nullptr };
    for (GList *each = items.get(); each; each = each->next) {
        if (secret_item_get_locked(SECRET_ITEM(each->data)))
            return { SecretServiceKeychain::locked, nullptr };
    }
    return { KeychainStatus::success, std::move(items) };
}

} // namespace

std::int32_t SecretServiceKeychain::add(const QVariantMap &attributes)
{
    const ItemAttributes item(attributes);
    const std::optional<QByteArray> data = valueData(attributes);
    if (!item.valid() || !data)
        return invalidParameters;

    // A store would silently replace an item with the same attributes.
    const auto [status, existing] = copyMatching(attributes);
    if (status == KeychainStatus::success)
        return KeychainStatus::duplicateItem;
    if (status != KeychainStatus::itemNotFound)
        return status;

    // A locked collection hid any existing item above; the store fails on it with IS_LOCKED.
    const QByteArray label = "Ferrowick " + item.account();
    GError *rawError = nullptr;
    secret_password_storev_binary_sync(&itemSchema, item.table(), SECRET_COLLECTION_DEFAULT,
        label.constData(), secretOf(*data).get(), nullptr, &rawError);
    const GLibPtr<GError> error(rawError);
    return error ? statusOf(error.get()) : KeychainStatus::success;
}

std::pair<std::int32_t, QVariantList> SecretServiceKeychain::copyMatching(const QVariantMap &query)
{
    const ItemAttributes item(query);
    if (!item.valid())
        return { invalidParameters, {} };

    GError *rawError = nullptr;
    const GLibPtr<SecretValue> value(
        secret_password_lookupv_binary_sync(&itemSchema, item.table(), nullptr, &rawError));
    const GLibPtr<GError> error(rawError);
    if (error)
        return { statusOf(error.get()), {} };
    if (!value)
        return { KeychainStatus::itemNotFound, {} };
    if (!query.value(KeychainAttribute::returnData).toBool())
        return { KeychainStatus::success, {} };

    gsize length = 0;
    const gchar *bytes = secret_value_get(value.get(), &length);
    return { KeychainStatus::success, { QByteArray(bytes, qsizetype(length)) } };
}

std::int32_t SecretServiceKeychain::updateMatching(
    const QVariantMap &query, const QVariantMap &attributes)
{
    const ItemAttributes item(query);
    const std::optional<QByteArray> data = valueData(attributes);
    if (!item.valid() || !data)
        return invalidParameters;

    // Changing the secret of the items themselves keeps their label and other attributes.
    const auto [status, items] = unlockedItems(item);
    if (status != KeychainStatus::success)
        return status;
    const GLibPtr<SecretValue> secret = secretOf(*data);
    for (GList *each = items.get(); each; each = each->next) {
        GError *rawError = nullptr;
        secret_item_set_secret_sync(SECRET_ITEM(each->data), secret.get(), nullptr, &rawError);
        if (const GLibPtr<GError> error(rawError); error)
            return statusOf(error.get());
    }
    return KeychainStatus::success;
}

std::int32_t SecretServiceKeychain::deleteMatching(const QVariantMap &query)
{
    const ItemAttributes item(query);
    if (!item.valid())
        return invalidParameters;

    // Item by item, like an update: a locked item is a failure, not "nothing removed".
    const auto [status, items] = unlockedItems(item);
    if (status != KeychainStatus::success)
        return status;
    for (GList *each = items.get(); each; each = each->next) {
        GError *rawError = nullptr;
        secret_item_delete_sync(SECRET_ITEM(each->data), nullptr, &rawError);
        if (const GLibPtr<GError> error(rawError); error)
            return statusOf(error.get());
    }
    return KeychainStatus::success;
}

} // namespace Ferrowick
