#include "TurnCachedKeychain.h"

#include <QTimer>

namespace Ferrowick {

TurnCachedKeychain::TurnCachedKeychain(FWKit::KeychainServicing &keychain)
    : m_keychain(keychain)
{
}

std::int32_t TurnCachedKeychain::add(const QVariantMap &attributes)
{
    m_answers.clear();
    return m_keychain.add(attributes);
}

std::pair<std::int32_t, QVariantList> TurnCachedKeychain::copyMatching(const QVariantMap &query)
{
    for (const auto &[asked, answer] : std::as_const(m_answers)) {
        if (asked == query)
            return answer;
    }
    if (m_answers.isEmpty())
        QTimer::singleShot(0, &m_context, [this] { m_answers.clear(); });
    const auto answer = m_keychain.copyMatching(query);
    m_answers.append({ query, answer });
    return answer;
}

std::int32_t TurnCachedKeychain::updateMatching(
    const QVariantMap &query, const QVariantMap &attributes)
{
    m_answers.clear();
    return m_keychain.updateMatching(query, attributes);
}

std::int32_t TurnCachedKeychain::deleteMatching(const QVariantMap &query)
{
    m_answers.clear();
    return m_keychain.deleteMatching(query);
}

} // namespace Ferrowick
