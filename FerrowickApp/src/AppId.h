#pragma once

#include <QString>

namespace Ferrowick {

// The application's identifier: desktop file name, D-Bus name, keyring attribute `service` and
// schema, notification `desktop-entry`. Stored items and running peers depend on it.
inline constexpr char appIdText[] = "app.ferrowick.Ferrowick";
inline const QString appId = QString::fromLatin1(appIdText);

} // namespace Ferrowick
