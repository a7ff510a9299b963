#pragma once

#include <FWKit/Credentials.h>

#include <QList>
#include <QObject>
#include <QVariantMap>

#include <utility>

namespace Ferrowick {

// Reads made in one pass of the event loop share the keyring's answer. Before the event loop
// first runs, the start-up reads the login and the password three times over (the container's
// check, then the launch's refresh asks twice), and every read is a D-Bus round trip to the
// keyring. A write, and the next pass of the event loop, forget what was read, so a change made
// elsewhere is seen as soon as it could have been.
class TurnCachedKeychain final : public FWKit::KeychainServicing
{
public:
    explicit TurnCachedKeychain(FWKit::KeychainServicing &keychain);

    std::int32_t add(const QVariantMap &attributes) override;
    std::pair<std::int32_t, QVariantList> copyMatching(const QVariantMap &query) override;
    std::int32_t updateMatching(const QVariantMap &query, const QVariantMap &attributes) override;
    std::int32_t deleteMatching(const QVariantMap &query) override;

private:
    FWKit::KeychainServicing &m_keychain;
    QList<std::pair<QVariantMap, std::pair<std::int32_t, QVariantList>>> m_answers;
    QObject m_context; // ends the pending clearing with the cache
};

} // namespace Ferrowick
