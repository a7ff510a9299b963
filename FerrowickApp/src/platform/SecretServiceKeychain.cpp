#include "SecretServiceKeychain.h"

#include "AppId.h"
#include "DebugLog.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QMap>

namespace Ferrowick {

namespace {

using namespace FWKit;

using Attributes = QMap<QString, QString>;
using Secrets = QMap<QDBusObjectPath, SecretMessage>;

const QString defaultCollection = u"/org/freedesktop/secrets/aliases/default"_s;
const QString collectionInterface = u"org.freedesktop.Secret.Collection"_s;
const QString itemInterface = u"org.freedesktop.Secret.Item"_s;
const QString promptInterface = u"org.freedesktop.Secret.Prompt"_s;
const QString noPrompt = u"/"_s;
const QString completed = u"Completed"_s;

// The item attributes of a query; without both of them a query would match (and a delete
// remove) foreign items.
std::optional<Attributes> attributesOf(const QVariantMap &query)
{
    const QVariant itemClass = query.value(KeychainAttribute::itemClass);
    const QString service = query.value(KeychainAttribute::service).toString();
    const QString account = query.value(KeychainAttribute::account).toString();
    if ((itemClass.isValid() && itemClass != KeychainAttribute::genericPassword) ||
        service.isEmpty() || account.isEmpty())
        return std::nullopt;
    return Attributes { { u"service"_s, service }, { u"account"_s, account } };
}

std::optional<QByteArray> valueData(const QVariantMap &attributes)
{
    const QVariant data = attributes.value(KeychainAttribute::valueData);
    if (data.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return data.toByteArray();
}

std::int32_t statusOf(const QDBusError &error)
{
    const QString name = error.name();
    if (name == u"org.freedesktop.DBus.Error.ServiceUnknown" ||
        name == u"org.freedesktop.DBus.Error.NameHasNoOwner")
        return SecretServiceKeychain::noService;
    if (name == u"org.freedesktop.Secret.Error.IsLocked")
        return SecretServiceKeychain::locked;
    return SecretServiceKeychain::failed;
}

QDBusMessage methodCall(const QString &path, const QString &interface, const QString &method)
{
    return QDBusMessage::createMethodCall(SecretServiceBus::service, path, interface, method);
}

void registerTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<Attributes>();
        qDBusRegisterMetaType<SecretMessage>();
        qDBusRegisterMetaType<Secrets>();
        return true;
    }();
    Q_UNUSED(registered);
}

} // namespace

SecretServiceKeychain::SecretServiceKeychain(QDBusConnection bus, QObject *parent)
    : KeyringLock(parent)
    , m_bus(std::move(bus))
{
    registerTypes();
}

SecretServiceKeychain::~SecretServiceKeychain() = default;

std::int32_t SecretServiceKeychain::add(const QVariantMap &attributes)
{
    const std::optional<Attributes> item = attributesOf(attributes);
    const std::optional<QByteArray> data = valueData(attributes);
    if (!item || !data)
        return invalidParameters;
    m_dismissed = false; // the user is saving: asking to unlock is welcome again

    // CreateItem without replace would still add a second item with the same attributes.
    const auto existing = unlockedItems(attributes);
    if (existing)
        return KeychainStatus::duplicateItem;
    if (existing.error() != KeychainStatus::itemNotFound)
        return existing.error();

    const auto secret = seal(*data);
    if (!secret)
        return secret.error();
    Attributes stored = *item;
    // The schema name as earlier builds stored it, for tools that sort items by it.
    stored.insert(u"xdg:schema"_s, appId);
    const QVariantMap properties {
        { u"org.freedesktop.Secret.Item.Label"_s,
            u"Ferrowick %1"_s.arg(item->value(u"account"_s)) },
        { u"org.freedesktop.Secret.Item.Attributes"_s, QVariant::fromValue(stored) },
    };
    const auto created = call(defaultCollection, collectionInterface, u"CreateItem"_s,
        { properties, QVariant::fromValue(*secret), false });
    if (!created)
        return created.error();
    return afterPrompt(created->value(1).value<QDBusObjectPath>());
}

std::pair<std::int32_t, QVariantList> SecretServiceKeychain::copyMatching(const QVariantMap &query)
{
    if (!attributesOf(query))
        return { invalidParameters, {} };
    const auto items = unlockedItems(query);
    if (!items)
        return { items.error(), {} };
    if (!query.value(KeychainAttribute::returnData).toBool())
        return { KeychainStatus::success, {} };

    const auto opened = session();
    if (!opened)
        return { opened.error(), {} };
    const auto reply = call(SecretServiceBus::path, SecretServiceBus::interface, u"GetSecrets"_s,
        { QVariant::fromValue(Items { items->first() }), QVariant::fromValue((*opened)->path()) });
    if (!reply)
        return { reply.error(), {} };
    const Secrets secrets = qdbus_cast<Secrets>(reply->value(0));
    const auto found = secrets.constFind(items->first());
    // An item removed since the search has no secret to give.
    if (found == secrets.cend())
        return { KeychainStatus::itemNotFound, {} };
    const std::optional<QByteArray> value = (*opened)->open(*found);
    if (!value) {
        DebugLog::note(u"keyring: a secret did not decrypt"_s);
        return { failed, {} };
    }
    return { KeychainStatus::success, { *value } };
}

std::int32_t SecretServiceKeychain::updateMatching(
    const QVariantMap &query, const QVariantMap &attributes)
{
    const std::optional<QByteArray> data = valueData(attributes);
    if (!attributesOf(query) || !data)
        return invalidParameters;
    m_dismissed = false;

    // Changing the secret of the items themselves keeps their label and other attributes.
    const auto items = unlockedItems(query);
    if (!items)
        return items.error();
    const auto secret = seal(*data);
    if (!secret)
        return secret.error();
    for (const QDBusObjectPath &each : *items) {
        const auto set =
            call(each.path(), itemInterface, u"SetSecret"_s, { QVariant::fromValue(*secret) });
        if (!set)
            return set.error();
    }
    return KeychainStatus::success;
}

std::int32_t SecretServiceKeychain::deleteMatching(const QVariantMap &query)
{
    if (!attributesOf(query))
        return invalidParameters;
    m_dismissed = false;

    // Item by item, like an update: a locked item is a failure, not "nothing removed".
    const auto items = unlockedItems(query);
    if (!items)
        return items.error();
    for (const QDBusObjectPath &each : *items) {
        const auto deleted = call(each.path(), itemInterface, u"Delete"_s, {});
        if (!deleted)
            return deleted.error();
        if (const std::int32_t status = afterPrompt(deleted->value(0).value<QDBusObjectPath>());
            status != KeychainStatus::success)
            return status;
    }
    return KeychainStatus::success;
}

std::expected<QVariantList, std::int32_t> SecretServiceKeychain::call(const QString &path,
    const QString &interface, const QString &method, const QVariantList &arguments)
{
    QDBusMessage message = methodCall(path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, SecretServiceBus::callTimeout);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return reply.arguments();

    const QDBusError error(reply);
    const std::int32_t status = statusOf(error);
    if (status == locked)
        askToUnlock({ QDBusObjectPath(defaultCollection) });
    else if (status == noService)
        forgetService();
    else
        DebugLog::note(u"keyring: %1 failed: %2"_s.arg(method, error.name()));
    // The service forgot our session (restarted under the same name): open a new one next time.
    if (error.name() == u"org.freedesktop.Secret.Error.NoSession")
        m_session.reset();
    return std::unexpected(status);
}

// Every item matching the query: at least one, all unlocked, or the failure. Locked items answer
// "locked" at once and ask the desktop to unlock them.
std::expected<SecretServiceKeychain::Items, std::int32_t> SecretServiceKeychain::unlockedItems(
    const QVariantMap &query)
{
    const auto reply = call(SecretServiceBus::path, SecretServiceBus::interface, u"SearchItems"_s,
        { QVariant::fromValue(*attributesOf(query)) });
    if (!reply)
        return std::unexpected(reply.error());
    const Items lockedItems = qdbus_cast<Items>(reply->value(1));
    if (!lockedItems.isEmpty()) {
        askToUnlock(lockedItems);
        return std::unexpected(locked);
    }
    m_locked = false;
    const Items items = qdbus_cast<Items>(reply->value(0));
    if (items.isEmpty())
        return std::unexpected(KeychainStatus::itemNotFound);
    return items;
}

std::expected<SecretMessage, std::int32_t> SecretServiceKeychain::seal(const QByteArray &data)
{
    const auto opened = session();
    if (!opened)
        return std::unexpected(opened.error());
    const std::optional<SecretMessage> secret = (*opened)->seal(data);
    if (!secret)
        return std::unexpected(failed);
    return *secret;
}

std::expected<const SecretSession *, std::int32_t> SecretServiceKeychain::session()
{
    if (!m_session) {
        auto opened = SecretSession::negotiate(m_bus);
        if (!opened) {
            const std::int32_t status = statusOf(opened.error());
            if (status == failed)
                DebugLog::note(u"keyring: no session: %1"_s.arg(opened.error().name()));
            return std::unexpected(status);
        }
        m_session.emplace(std::move(*opened));
        if (!m_serviceWatcher) {
            // A new keyring daemon knows neither our session nor our prompt.
            m_serviceWatcher = new QDBusServiceWatcher(
                SecretServiceBus::service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
            connect(m_serviceWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
                &SecretServiceKeychain::forgetService);
        }
    }
    return &*m_session;
}

// A prompt from a write means the collection is locked; the write is not done, and the desktop
// is asked to unlock instead.
std::int32_t SecretServiceKeychain::afterPrompt(const QDBusObjectPath &prompt)
{
    if (prompt.path().isEmpty() || prompt.path() == noPrompt)
        return KeychainStatus::success;
    m_bus.asyncCall(methodCall(prompt.path(), promptInterface, u"Dismiss"_s));
    askToUnlock({ QDBusObjectPath(defaultCollection) });
    return locked;
}

void SecretServiceKeychain::askToUnlock(const Items &objects)
{
    m_locked = true;
    if (m_unlocking || m_dismissed)
        return;
    m_unlocking = true;
    QDBusMessage message =
        methodCall(SecretServiceBus::path, SecretServiceBus::interface, u"Unlock"_s);
    message << QVariant::fromValue(objects);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](auto *finished) {
        finished->deleteLater();
        const QDBusPendingReply<Items, QDBusObjectPath> reply = *finished;
        if (reply.isError())
            return endUnlock(false, u"Unlock failed: %1"_s.arg(reply.error().name()));
        const QString prompt = reply.argumentAt<1>().path();
        if (prompt != noPrompt)
            return showPrompt(prompt);
        // Nothing unlocked without a prompt would only bring the same read back here.
        if (reply.argumentAt<0>().isEmpty())
            return endUnlock(false, u"Unlock unlocked nothing"_s);
        endUnlock(true, {});
    });
}

void SecretServiceKeychain::showPrompt(const QString &prompt)
{
    // Subscribed before asking, so an answer that comes at once is not lost.
    m_prompt = prompt;
    m_bus.connect(SecretServiceBus::service, prompt, promptInterface, completed, this,
        SLOT(promptCompleted(bool, QDBusVariant)));
    // An empty window id: a tray program has no window to put the prompt over.
    QDBusMessage message = methodCall(prompt, promptInterface, u"Prompt"_s);
    message << QString();
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, prompt](auto *finished) {
        finished->deleteLater();
        const QDBusPendingReply<> reply = *finished;
        if (reply.isError() && m_prompt == prompt)
            endUnlock(false, u"the unlock prompt failed: %1"_s.arg(reply.error().name()));
    });
}

void SecretServiceKeychain::promptCompleted(bool dismissed, const QDBusVariant &result)
{
    Q_UNUSED(result);
    endUnlock(!dismissed, u"the user dismissed the unlock prompt; asking again at the next save"_s);
}

// Emits last: a receiver may read again at once.
void SecretServiceKeychain::endUnlock(bool unlocked, const QString &why)
{
    if (!m_prompt.isEmpty()) {
        m_bus.disconnect(SecretServiceBus::service, m_prompt, promptInterface, completed, this,
            SLOT(promptCompleted(bool, QDBusVariant)));
        m_prompt.clear();
    }
    m_unlocking = false;
    if (!unlocked) {
        m_dismissed = true;
        DebugLog::note(u"keyring: %1"_s.arg(why));
        return;
    }
    m_locked = false;
    emit this->unlocked();
}

void SecretServiceKeychain::forgetService()
{
    m_session.reset();
    if (m_unlocking && !m_prompt.isEmpty()) {
        m_bus.disconnect(SecretServiceBus::service, m_prompt, promptInterface, completed, this,
            SLOT(promptCompleted(bool, QDBusVariant)));
        m_prompt.clear();
    }
    m_unlocking = false;
}

} // namespace Ferrowick
