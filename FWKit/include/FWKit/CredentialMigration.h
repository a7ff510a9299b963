#pragma once

#include <FWKit/CredentialStoring.h>
#include <FWKit/PreferencesStoring.h>

#include <QString>

namespace FWKit {

// Older versions kept the login and password as plain preference strings. At start-up they move
// into the credential store, and leave the preferences only once the store has them.
namespace CredentialMigration {

inline const QString legacyLoginKey = QStringLiteral("login");
inline const QString legacyPasswordKey = QStringLiteral("password");

// Copies each legacy value the store lacks, verified by reading it back, then removes both legacy
// keys. A copy that does not read back leaves the preferences untouched, so the next start tries
// again. True when at least one value was copied.
bool migrateIfNeeded(PreferencesStoring &defaults, CredentialStoring &store);

} // namespace CredentialMigration
} // namespace FWKit
