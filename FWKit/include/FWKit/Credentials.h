#pragma once

// The user's login and password: the CredentialStoring interface, the KeychainServicing interface
// to a secret store (with its KeychainAttribute names and KeychainStatus codes), the
// KeychainCredentialStore over it, and CredentialMigration from the old preferences.

#include <FWKit/Desktop.h>

#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <cstdint>
#include <optional>
#include <utility>

namespace FWKit {

using namespace Qt::StringLiterals;

// The user's login and password. Reads answer "nothing stored" for every kind of failure;
// writes report success as a flag.
class CredentialStoring
{
public:
    virtual ~CredentialStoring() = default;

    virtual std::optional<QString> login() const = 0;
    virtual std::optional<QString> password() const = 0;
    virtual bool setLogin(const QString &login) = 0;
    virtual bool setPassword(const QString &password) = 0;
};

// Attribute names and values understood by every KeychainServicing. The adapter maps them onto
// its secret store.
namespace KeychainAttribute {
inline const QString itemClass = u"class"_s;
inline const QString service = u"service"_s;
inline const QString account = u"account"_s;
inline const QString valueData = u"valueData"_s; // QByteArray
inline const QString accessible = u"accessible"_s;
inline const QString returnData = u"returnData"_s; // bool
inline const QString matchLimit = u"matchLimit"_s;

inline const QString genericPassword = u"genericPassword"_s;
inline const QString accessibleAfterFirstUnlock = u"afterFirstUnlock"_s;
inline const QString matchLimitOne = u"one"_s;
} // namespace KeychainAttribute

// Status codes follow the keychain's: 0 is success, any other value a failure.
namespace KeychainStatus {
inline constexpr std::int32_t success = 0;
inline constexpr std::int32_t itemNotFound = -25300;
inline constexpr std::int32_t duplicateItem = -25299;
} // namespace KeychainStatus

// The four item operations of a secret store, each answering the store's status code.
class KeychainServicing
{
public:
    virtual ~KeychainServicing() = default;

    virtual std::int32_t add(const QVariantMap &attributes) = 0;
    // The list is empty unless the status is success and the store returned something.
    virtual std::pair<std::int32_t, QVariantList> copyMatching(const QVariantMap &query) = 0;
    virtual std::int32_t updateMatching(
        const QVariantMap &query, const QVariantMap &attributes) = 0;
    virtual std::int32_t deleteMatching(const QVariantMap &query) = 0;
};

// The login and the password as two generic-password items of one service, accounts "login"
// and "password". No cache: every call goes to the keychain, so copies of the store and other
// processes see the same items. Reads report every failure as "nothing stored", writes as false.
class KeychainCredentialStore final : public CredentialStoring
{
public:
    // The keychain is not owned and must outlive the store.
    KeychainCredentialStore(KeychainServicing &service, QString serviceID);

    std::optional<QString> login() const override;
    std::optional<QString> password() const override;
    bool setLogin(const QString &login) override;
    bool setPassword(const QString &password) override;

private:
    QVariantMap baseQuery(const QString &account) const;
    std::optional<QString> read(const QString &account) const;
    bool write(const QString &account, const QString &value) const;

    KeychainServicing &m_service;
    QString m_serviceID;
};

// Older versions kept the login and password as plain preference strings. At start-up they move
// into the credential store, and leave the preferences only once the store has them.
namespace CredentialMigration {

inline const QString legacyLoginKey = u"login"_s;
inline const QString legacyPasswordKey = u"password"_s;

// Copies each legacy value the store lacks, verified by reading it back, then removes both legacy
// keys. A copy that does not read back leaves the preferences untouched, so the next start tries
// again. True when at least one value was copied.
bool migrateIfNeeded(PreferencesStoring &defaults, CredentialStoring &store);

} // namespace CredentialMigration
} // namespace FWKit
