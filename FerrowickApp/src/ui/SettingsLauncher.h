#pragma once

namespace Ferrowick {

class AppContainer;
class SettingsWindow;

// Shows the one settings window, from anywhere on the main thread. While it is open the
// application counts as a regular one (AppActivation); closing it makes it an accessory again
// unless an update session still shows its windows.
namespace SettingsLauncher {

// Returns at once; the window opens, or the open one comes to the front, from the event loop.
// A window that was closed is never reused: the next one starts on General with the stored
// values read afresh.
void open(AppContainer &container);

// Whether a settings window is open.
bool isOpen();

// The open window, or null.
SettingsWindow *window();

} // namespace SettingsLauncher
} // namespace Ferrowick
