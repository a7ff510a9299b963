#pragma once

#include <FWKit/Credentials.h>

#include <cstdint>

namespace Ferrowick {

// The keychain's four item operations over the desktop's Secret Service (libsecret, synchronous).
// Items live in the default collection with the attributes `service` and `account`; any item with
// both attributes matches, whoever stored it. Values are bytes, so any value survives.
class SecretServiceKeychain final : public FWKit::KeychainServicing
{
public:
    // Failures besides the shared not-found and duplicate codes; the values are the keychain's
    // own codes for the nearest condition.
    static constexpr std::int32_t invalidParameters = -50;
    static constexpr std::int32_t noService = -25291;
    static constexpr std::int32_t locked = -25308;
    static constexpr std::int32_t failed = -2070;

    std::int32_t add(const QVariantMap &attributes) override;
    std::pair<std::int32_t, QVariantList> copyMatching(const QVariantMap &query) override;
    std::int32_t updateMatching(const QVariantMap &query, const QVariantMap &attributes) override;
    std::int32_t deleteMatching(const QVariantMap &query) override;
};

} // namespace Ferrowick
