#include <FWKit/Credentials.h>

#include <QByteArray>
#include <QStringDecoder>
#include <QVariant>

#include <utility>

using namespace Qt::StringLiterals;

namespace FWKit {

namespace {
const QString loginAccount = u"login"_s;
const QString passwordAccount = u"password"_s;
} // namespace

KeychainCredentialStore::KeychainCredentialStore(KeychainServicing &service, QString serviceID)
    : m_service(service)
    , m_serviceID(std::move(serviceID))
{
}

std::optional<QString> KeychainCredentialStore::login() const
{
    return read(loginAccount);
}

std::optional<QString> KeychainCredentialStore::password() const
{
    return read(passwordAccount);
}

bool KeychainCredentialStore::setLogin(const QString &login)
{
    return write(loginAccount, login);
}

bool KeychainCredentialStore::setPassword(const QString &password)
{
    return write(passwordAccount, password);
}

QVariantMap KeychainCredentialStore::baseQuery(const QString &account) const
{
    return {
        { KeychainAttribute::itemClass, KeychainAttribute::genericPassword },
        { KeychainAttribute::service, m_serviceID },
        { KeychainAttribute::account, account },
    };
}

std::optional<QString> KeychainCredentialStore::read(const QString &account) const
{
    QVariantMap query = baseQuery(account);
    query.insert(KeychainAttribute::returnData, true);
    query.insert(KeychainAttribute::matchLimit, KeychainAttribute::matchLimitOne);

    const auto [status, items] = m_service.copyMatching(query);
    if (status != KeychainStatus::success || items.isEmpty())
        return std::nullopt;
    const QVariant &data = items.constFirst();
    if (data.typeId() != QMetaType::QByteArray)
        return std::nullopt;

    // Stateless, so a sequence cut off at the end is an error rather than pending input; a
    // leading byte-order mark is kept so that any value written reads back unchanged.
    QStringDecoder decoder(QStringDecoder::Utf8,
        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString value = decoder.decode(data.toByteArray());
    if (decoder.hasError())
        return std::nullopt;
    return value;
}

bool KeychainCredentialStore::write(const QString &account, const QString &value) const
{
    const QByteArray bytes = value.toUtf8();
    const QVariantMap query = baseQuery(account);

    // Updating in place keeps the item's other attributes, including its accessibility.
    const QVariantMap changes { { KeychainAttribute::valueData, bytes } };
    const std::int32_t updateStatus = m_service.updateMatching(query, changes);
    if (updateStatus == KeychainStatus::success)
        return true;
    if (updateStatus != KeychainStatus::itemNotFound) {
        // The item exists but cannot be changed: replace it once.
        const std::int32_t deleteStatus = m_service.deleteMatching(query);
        if (deleteStatus != KeychainStatus::success && deleteStatus != KeychainStatus::itemNotFound)
            return false;
    }

    QVariantMap attributes = query;
    attributes.insert(KeychainAttribute::valueData, bytes);
    attributes.insert(KeychainAttribute::accessible, KeychainAttribute::accessibleAfterFirstUnlock);
    return m_service.add(attributes) == KeychainStatus::success;
}

namespace CredentialMigration {

namespace {
enum class Copy { skipped, copied, failed };

// A store that already holds a value, even an empty one, keeps it.
Copy copyIfMissing(const QString &legacy, std::optional<QString> (CredentialStoring::*read)() const,
    bool (CredentialStoring::*write)(const QString &), CredentialStoring &store)
{
    if ((store.*read)())
        return Copy::skipped;
    // The write's own flag is not trusted: only what reads back counts.
    (store.*write)(legacy);
    return (store.*read)() == legacy ? Copy::copied : Copy::failed;
}
} // namespace

bool migrateIfNeeded(PreferencesStoring &defaults, CredentialStoring &store)
{
    const std::optional<QString> login = defaults.string(legacyLoginKey);
    const std::optional<QString> password = defaults.string(legacyPasswordKey);
    bool copied = false;

    if (login) {
        const Copy result =
            copyIfMissing(*login, &CredentialStoring::login, &CredentialStoring::setLogin, store);
        if (result == Copy::failed)
            return false;
        copied = result == Copy::copied;
    }
    if (password) {
        const Copy result = copyIfMissing(
            *password, &CredentialStoring::password, &CredentialStoring::setPassword, store);
        if (result == Copy::failed)
            return false;
        copied = copied || result == Copy::copied;
    }

    defaults.remove(legacyLoginKey);
    defaults.remove(legacyPasswordKey);
    defaults.sync();
    return copied;
}

} // namespace CredentialMigration
} // namespace FWKit
