#include "SecretSession.h"

#include "DebugLog.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>

#include <memory>
#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/rand.h>

namespace Ferrowick {

QDBusArgument &operator<<(QDBusArgument &argument, const SecretMessage &message)
{
    argument.beginStructure();
    argument << message.session << message.parameters << message.value << message.contentType;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, SecretMessage &message)
{
    argument.beginStructure();
    argument >> message.session >> message.parameters >> message.value >> message.contentType;
    argument.endStructure();
    return argument;
}

namespace {

const QString dhAlgorithm = u"dh-ietf1024-sha256-aes128-cbc-pkcs7"_s;
const QString plainAlgorithm = u"plain"_s;
constexpr int groupBytes = 128; // the 1024-bit group's numbers, and the shared secret, in bytes
constexpr int keyBytes = 16;
constexpr int blockBytes = 16;

struct OpenSSLRelease
{
    void operator()(BIGNUM *number) const { BN_clear_free(number); }
    void operator()(BN_CTX *context) const { BN_CTX_free(context); }
    void operator()(EVP_PKEY_CTX *context) const { EVP_PKEY_CTX_free(context); }
    void operator()(EVP_CIPHER_CTX *context) const { EVP_CIPHER_CTX_free(context); }
};

template<typename T>
using OpenSSLPtr = std::unique_ptr<T, OpenSSLRelease>;
using Number = OpenSSLPtr<BIGNUM>;

auto *bytes(QByteArray &array)
{
    return reinterpret_cast<unsigned char *>(array.data());
}
auto *bytes(const QByteArray &array)
{
    return reinterpret_cast<const unsigned char *>(array.constData());
}

// Our half of the key agreement in the second Oakley group (generator 2).
struct KeyPair
{
    Number prime { BN_get_rfc2409_prime_1024(nullptr) };
    Number secret { BN_secure_new() };
    Number shared { BN_new() };
    QByteArray publicKey;
};

std::optional<KeyPair> makeKeyPair()
{
    KeyPair pair;
    const Number generator(BN_new());
    const Number limit(BN_new());
    const Number publicKey(BN_new());
    const OpenSSLPtr<BN_CTX> context(BN_CTX_new());
    // The secret exponent lies in [2, p - 2].
    if (!pair.prime || !pair.secret || !pair.shared || !generator || !limit || !publicKey ||
        !context || !BN_set_word(generator.get(), 2) || !BN_copy(limit.get(), pair.prime.get()) ||
        !BN_sub_word(limit.get(), 3) || !BN_priv_rand_range(pair.secret.get(), limit.get()) ||
        !BN_add_word(pair.secret.get(), 2))
        return std::nullopt;
    BN_set_flags(pair.secret.get(), BN_FLG_CONSTTIME);
    if (!BN_mod_exp(
            publicKey.get(), generator.get(), pair.secret.get(), pair.prime.get(), context.get()))
        return std::nullopt;
    pair.publicKey = QByteArray(groupBytes, '\0');
    if (BN_bn2binpad(publicKey.get(), bytes(pair.publicKey), groupBytes) != groupBytes)
        return std::nullopt;
    return pair;
}

// The AES key from the service's public key: the shared secret, left-padded to the group's
// size, through HKDF-SHA256 without salt or info.
std::optional<QByteArray> agreedKey(KeyPair &pair, const QByteArray &servicePublicKey)
{
    const Number peer(BN_bin2bn(bytes(servicePublicKey), int(servicePublicKey.size()), nullptr));
    const Number top(BN_dup(pair.prime.get()));
    const OpenSSLPtr<BN_CTX> context(BN_CTX_new());
    // A public key of 0, 1 or p - 1 would force a known secret.
    if (!peer || !top || !context || !BN_sub_word(top.get(), 1) ||
        BN_cmp(peer.get(), top.get()) >= 0 || BN_is_zero(peer.get()) || BN_is_one(peer.get()) ||
        !BN_mod_exp(
            pair.shared.get(), peer.get(), pair.secret.get(), pair.prime.get(), context.get()))
        return std::nullopt;

    QByteArray shared(groupBytes, '\0');
    QByteArray key(keyBytes, '\0');
    std::size_t keyLength = keyBytes;
    const OpenSSLPtr<EVP_PKEY_CTX> kdf(EVP_PKEY_CTX_new_id(EVP_PKEY_HKDF, nullptr));
    const bool derived = BN_bn2binpad(pair.shared.get(), bytes(shared), groupBytes) == groupBytes &&
        kdf && EVP_PKEY_derive_init(kdf.get()) > 0 &&
        EVP_PKEY_CTX_set_hkdf_md(kdf.get(), EVP_sha256()) > 0 &&
        EVP_PKEY_CTX_set1_hkdf_key(kdf.get(), bytes(shared), groupBytes) > 0 &&
        EVP_PKEY_derive(kdf.get(), bytes(key), &keyLength) > 0 && keyLength == keyBytes;
    OPENSSL_cleanse(shared.data(), std::size_t(shared.size()));
    return derived ? std::optional(key) : std::nullopt;
}

std::expected<QDBusMessage, QDBusError> openSession(
    const QDBusConnection &bus, const QString &algorithm, const QVariant &input)
{
    QDBusMessage call = QDBusMessage::createMethodCall(SecretServiceBus::service,
        SecretServiceBus::path, SecretServiceBus::interface, u"OpenSession"_s);
    call << algorithm << QVariant::fromValue(QDBusVariant(input));
    QDBusMessage reply = bus.call(call, QDBus::Block, SecretServiceBus::callTimeout);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return std::unexpected(QDBusError(reply));
    return reply;
}

QDBusObjectPath sessionPath(const QDBusMessage &reply)
{
    return reply.arguments().value(1).value<QDBusObjectPath>();
}

QDBusError localFailure(const QString &what)
{
    return QDBusError(QDBusError::Failed, u"secret session: %1"_s.arg(what));
}

} // namespace

SecretSession::SecretSession(QDBusObjectPath path, QByteArray key)
    : m_path(std::move(path))
    , m_key(std::move(key))
{
}

std::expected<SecretSession, QDBusError> SecretSession::negotiate(const QDBusConnection &bus)
{
    std::optional<KeyPair> pair = makeKeyPair();
    if (!pair)
        return std::unexpected(localFailure(u"no key pair"_s));
    const auto reply = openSession(bus, dhAlgorithm, pair->publicKey);
    if (reply) {
        const QByteArray servicePublicKey =
            reply->arguments().value(0).value<QDBusVariant>().variant().toByteArray();
        std::optional<QByteArray> key = agreedKey(*pair, servicePublicKey);
        if (!key)
            return std::unexpected(localFailure(u"no agreed key"_s));
        return SecretSession(sessionPath(*reply), std::move(*key));
    }
    if (reply.error().type() != QDBusError::NotSupported)
        return std::unexpected(reply.error());

    const auto plain = openSession(bus, plainAlgorithm, QString());
    if (!plain)
        return std::unexpected(plain.error());
    DebugLog::note(u"keyring: the Secret Service offers no encryption; secrets cross the session "
                   "bus in clear"_s);
    return SecretSession(sessionPath(*plain), {});
}

std::optional<SecretMessage> SecretSession::seal(const QByteArray &value) const
{
    SecretMessage message { m_path, {}, value, u"text/plain"_s };
    if (m_key.isEmpty())
        return message;

    message.parameters = QByteArray(blockBytes, '\0');
    message.value = QByteArray(value.size() + blockBytes, '\0');
    int written = 0;
    int finalWritten = 0;
    const OpenSSLPtr<EVP_CIPHER_CTX> cipher(EVP_CIPHER_CTX_new());
    if (RAND_bytes(bytes(message.parameters), blockBytes) != 1 || !cipher ||
        EVP_EncryptInit_ex(cipher.get(), EVP_aes_128_cbc(), nullptr, bytes(m_key),
            bytes(message.parameters)) != 1 ||
        EVP_EncryptUpdate(
            cipher.get(), bytes(message.value), &written, bytes(value), int(value.size())) != 1 ||
        EVP_EncryptFinal_ex(cipher.get(), bytes(message.value) + written, &finalWritten) != 1)
        return std::nullopt;
    message.value.truncate(written + finalWritten);
    return message;
}

std::optional<QByteArray> SecretSession::open(const SecretMessage &message) const
{
    if (message.session != m_path)
        return std::nullopt;
    if (m_key.isEmpty())
        return message.value;
    if (message.parameters.size() != blockBytes || message.value.isEmpty() ||
        message.value.size() % blockBytes != 0)
        return std::nullopt;

    QByteArray value(message.value.size(), '\0');
    int written = 0;
    int finalWritten = 0;
    const OpenSSLPtr<EVP_CIPHER_CTX> cipher(EVP_CIPHER_CTX_new());
    const bool decrypted = cipher &&
        EVP_DecryptInit_ex(cipher.get(), EVP_aes_128_cbc(), nullptr, bytes(m_key),
            bytes(message.parameters)) == 1 &&
        EVP_DecryptUpdate(cipher.get(), bytes(value), &written, bytes(message.value),
            int(message.value.size())) == 1 &&
        EVP_DecryptFinal_ex(cipher.get(), bytes(value) + written, &finalWritten) == 1;
    if (!decrypted) {
        OPENSSL_cleanse(value.data(), std::size_t(value.size()));
        return std::nullopt;
    }
    value.truncate(written + finalWritten);
    return value;
}

} // namespace Ferrowick
