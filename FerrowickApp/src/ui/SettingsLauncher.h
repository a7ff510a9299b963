#pragma once

namespace Ferrowick {

class AppContainer;

// Shows the one settings window, from anywhere on the main thread.
namespace SettingsLauncher {

// Returns at once; the window opens (or comes to the front) from the event loop.
void open(AppContainer &container);

// Whether the settings window is open (for tests and the activation rule).
bool isOpen();

} // namespace SettingsLauncher
} // namespace Ferrowick
