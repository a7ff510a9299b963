#pragma once

class QWidget;

// Elsewhere the application switches between a regular and an accessory one while its windows
// show; on a Linux desktop nothing but the raised window is visible, so only raising remains.
// Main thread only.
namespace Ferrowick::AppActivation {

// Brings the window, when there is one, to the front and gives it the keyboard.
void activate(QWidget *window);

} // namespace Ferrowick::AppActivation
