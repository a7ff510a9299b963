#pragma once

class QString;
class QWidget;

// Elsewhere the application switches between a regular and an accessory one while its windows
// show; on a Linux desktop nothing but the raised window is visible, so only raising remains.
// Main thread only.
namespace Ferrowick::AppActivation {

// Brings the window, when there is one, to the front and gives it the keyboard.
void activate(QWidget *window);

// The token the desktop handed a launched `ferrowick <command>` (XDG_ACTIVATION_TOKEN on
// Wayland): the next window shown or activated uses it, so the desktop lets it take the keyboard
// although no key press of ours preceded it. Ignored off Wayland and when empty.
void useActivationToken(const QString &token);

} // namespace Ferrowick::AppActivation
