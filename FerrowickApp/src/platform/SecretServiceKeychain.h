#pragma once

#include "KeyringLock.h"
#include "platform/SecretSession.h"

#include <FWKit/Credentials.h>

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QList>

#include <cstdint>
#include <expected>
#include <optional>

class QDBusServiceWatcher;

namespace Ferrowick {

// The keychain's four item operations over the desktop's Secret Service (org.freedesktop.secrets),
// spoken directly on a D-Bus connection. Items live in the default collection with the attributes
// `service` and `account`; any item with both attributes matches, whoever stored it. Values are
// bytes, so any value survives. The calls block (briefly: the keyring is local); only asking the
// user to unlock the keyring runs in the background, and is announced through KeyringLock.
class SecretServiceKeychain final : public KeyringLock, public FWKit::KeychainServicing
{
    Q_OBJECT

public:
    // Failures besides the shared not-found and duplicate codes; the values are the keychain's
    // own codes for the nearest condition.
    static constexpr std::int32_t invalidParameters = -50;
    static constexpr std::int32_t noService = -25291;
    static constexpr std::int32_t locked = -25308;
    static constexpr std::int32_t failed = -2070;

    explicit SecretServiceKeychain(
        QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~SecretServiceKeychain() override;

    std::int32_t add(const QVariantMap &attributes) override;
    std::pair<std::int32_t, QVariantList> copyMatching(const QVariantMap &query) override;
    std::int32_t updateMatching(const QVariantMap &query, const QVariantMap &attributes) override;
    std::int32_t deleteMatching(const QVariantMap &query) override;

    bool isLocked() const override { return m_locked; }

private slots:
    void promptCompleted(bool dismissed, const QDBusVariant &result);

private:
    using Items = QList<QDBusObjectPath>;

    std::expected<QVariantList, std::int32_t> call(const QString &path, const QString &interface,
        const QString &method, const QVariantList &arguments);
    std::expected<Items, std::int32_t> unlockedItems(const QVariantMap &query);
    std::expected<const SecretSession *, std::int32_t> session();
    // The bytes encrypted for the service in the session, opened first when needed.
    std::expected<SecretMessage, std::int32_t> seal(const QByteArray &data);
    std::int32_t afterPrompt(const QDBusObjectPath &prompt);
    void askToUnlock(const Items &objects);
    void showPrompt(const QString &prompt);
    void endUnlock(bool unlocked, const QString &why);
    void forgetService();

    QDBusConnection m_bus;
    std::optional<SecretSession> m_session;
    QDBusServiceWatcher *m_serviceWatcher = nullptr; // made with the first session
    bool m_locked = false;
    QString m_prompt; // the unlock prompt awaiting its answer, if any
    bool m_unlocking = false;
    bool m_dismissed = false; // no new prompt of our own until the next write
};

} // namespace Ferrowick
