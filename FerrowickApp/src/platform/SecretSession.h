#pragma once

// How secrets travel between us and the desktop's Secret Service: SecretMessage (a secret on the
// bus), SecretSession (the negotiated session that seals and opens them) and the service's bus
// names they share with SecretServiceKeychain.

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QMetaType>
#include <QString>

#include <expected>
#include <optional>

class QDBusArgument;

namespace Ferrowick {

using namespace Qt::StringLiterals;

namespace SecretServiceBus {
inline const QString service = u"org.freedesktop.secrets"_s;
inline const QString path = u"/org/freedesktop/secrets"_s;
inline const QString interface = u"org.freedesktop.Secret.Service"_s;
// Local calls that answer at once; a keyring stuck longer than this is treated as failed.
inline constexpr int callTimeout = 5'000;
} // namespace SecretServiceBus

// A secret as the service passes it: the session it is sealed for, that session's parameters
// (the IV), the value and its content type.
struct SecretMessage
{
    QDBusObjectPath session;
    QByteArray parameters;
    QByteArray value;
    QString contentType;
};

QDBusArgument &operator<<(QDBusArgument &argument, const SecretMessage &message);
const QDBusArgument &operator>>(const QDBusArgument &argument, SecretMessage &message);

// One session with the Secret Service, kept for the life of the connection (the service closes
// it when we disconnect). Secrets are AES-128-CBC under a key agreed by Diffie-Hellman, so they
// never cross the bus in clear; plain transfer only with a service that offers nothing else.
class SecretSession
{
public:
    // Opens a session on the service's bus. The error is the service's (or the bus's) own.
    static std::expected<SecretSession, QDBusError> negotiate(const QDBusConnection &bus);

    const QDBusObjectPath &path() const { return m_path; }

    // nullopt only when the system's random source or cipher fails.
    std::optional<SecretMessage> seal(const QByteArray &value) const;
    // nullopt when the message is not for this session or does not decrypt.
    std::optional<QByteArray> open(const SecretMessage &message) const;

private:
    SecretSession(QDBusObjectPath path, QByteArray key);

    QDBusObjectPath m_path;
    QByteArray m_key; // empty: plain transfer
};

} // namespace Ferrowick

Q_DECLARE_METATYPE(Ferrowick::SecretMessage)
