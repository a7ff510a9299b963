#pragma once

class QWidget;

// What the Dock icon's activation policy is elsewhere, kept as the application's state: "regular"
// while the updater shows a session or the settings window is open, "accessory" otherwise. On a
// Linux desktop nothing but the raised window is visible. Main thread only.
namespace Ferrowick::AppActivation {

enum class Policy { Regular = 0, Accessory = 1 };

bool updaterSessionActive();
void setUpdaterSessionActive(bool active);

bool settingsOpen();
void setSettingsOpen(bool open);

Policy policy(); // Accessory at start
void setPolicy(Policy policy);

// Brings the window, when there is one, to the front and gives it the keyboard.
void activate(QWidget *window = nullptr);

} // namespace Ferrowick::AppActivation
