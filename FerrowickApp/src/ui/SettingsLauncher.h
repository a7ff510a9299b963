#pragma once

#include "ui/SettingsView.h"

namespace Ferrowick {

// Shows the one settings window, from anywhere on the main thread.
namespace SettingsLauncher {

// Returns at once; the window opens, or the open one comes to the front, from the event loop.
// A window that was closed is never reused: the next one starts on General with the stored
// values read afresh.
void open(const SettingsServices &services);

} // namespace SettingsLauncher
} // namespace Ferrowick
