#pragma once

#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <cstdint>
#include <utility>

namespace FWKit {

// Attribute names and values understood by every KeychainServicing. The adapter maps them onto
// its secret store.
namespace KeychainAttribute {
inline const QString itemClass = QStringLiteral("class");
inline const QString service = QStringLiteral("service");
inline const QString account = QStringLiteral("account");
inline const QString valueData = QStringLiteral("valueData"); // QByteArray
inline const QString accessible = QStringLiteral("accessible");
inline const QString returnData = QStringLiteral("returnData"); // bool
inline const QString matchLimit = QStringLiteral("matchLimit");

inline const QString genericPassword = QStringLiteral("genericPassword");
inline const QString accessibleAfterFirstUnlock = QStringLiteral("afterFirstUnlock");
inline const QString matchLimitOne = QStringLiteral("one");
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

} // namespace FWKit
