#include <FWKit/CredentialMigration.h>

namespace FWKit::CredentialMigration {

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

} // namespace FWKit::CredentialMigration
