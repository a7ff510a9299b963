#pragma once

#include <QProcessEnvironment>
#include <QString>

#include <optional>

namespace Ferrowick {

// What the session offers, gathered at start from the environment and from what the compositor
// and the bus actually answer, never from the desktop's name.
struct SessionFacts
{
    // XDG_SESSION_TYPE as set by the login manager ("x11", "wayland", "tty"), possibly empty.
    QString sessionType;
    bool hasWaylandDisplay = false;
    bool hasX11Display = false;
    // The Qt platform plugin the application runs on ("xcb", "wayland", "offscreen").
    QString qtPlatform;
    // The GlobalShortcuts portal's version; 0 when the bus offers none.
    int portalShortcutsVersion = 0;
    // The data-control protocol the compositor announces, when it announces one.
    std::optional<QString> dataControlProtocol;

    friend bool operator==(const SessionFacts &, const SessionFacts &) = default;
};

enum class SessionKind { x11, wayland, other };
// x11: grabs on the root window; portal: the desktop binds them; commands: the user binds
// `ferrowick <command>` in the desktop's settings.
enum class ShortcutBackendKind { x11, portal, commands };
// system: Qt's clipboard, which reads in the background (X11, also through XWayland);
// dataControl: our own Wayland client; none: only while one of our windows has the keyboard.
enum class ClipboardBackendKind { system, dataControl, none };

struct BackendChoice
{
    SessionKind session = SessionKind::other;
    ShortcutBackendKind shortcuts = ShortcutBackendKind::commands;
    ClipboardBackendKind clipboard = ClipboardBackendKind::none;

    friend bool operator==(const BackendChoice &, const BackendChoice &) = default;
};

namespace DesktopSession {

// Wayland when the login manager says so, or, when it says nothing, when there is a Wayland
// display to talk to.
bool isWayland(const QProcessEnvironment &environment);
// In a Wayland session whose compositor reads no clipboard for background clients, the X11
// selection through XWayland still does (GNOME): run Qt on xcb there, unless the user chose a
// platform. Null when Qt's own choice stands.
std::optional<QByteArray> preferredQtPlatform(
    const QProcessEnvironment &environment, bool compositorHasDataControl);

BackendChoice choose(const SessionFacts &facts);
// "session: wayland, shortcuts: portal, clipboard: data-control"; facts name the clipboard's
// platform or protocol where it says more than the kind.
QString describe(const BackendChoice &choice, const SessionFacts &facts);

} // namespace DesktopSession

} // namespace Ferrowick
