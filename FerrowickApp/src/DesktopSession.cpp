#include "DesktopSession.h"

using namespace Qt::StringLiterals;

namespace Ferrowick::DesktopSession {

namespace {

SessionKind sessionKind(const SessionFacts &facts)
{
    if (facts.sessionType == u"wayland"_s)
        return SessionKind::wayland;
    if (facts.sessionType == u"x11"_s)
        return SessionKind::x11;
    if (facts.hasWaylandDisplay)
        return SessionKind::wayland;
    return facts.hasX11Display ? SessionKind::x11 : SessionKind::other;
}

} // namespace

bool isWayland(const QProcessEnvironment &environment)
{
    const QString type = environment.value(u"XDG_SESSION_TYPE"_s);
    if (!type.isEmpty())
        return type == u"wayland"_s;
    return !environment.value(u"WAYLAND_DISPLAY"_s).isEmpty();
}

std::optional<QByteArray> preferredQtPlatform(
    const QProcessEnvironment &environment, bool compositorHasDataControl)
{
    if (!isWayland(environment) || compositorHasDataControl ||
        environment.contains(u"QT_QPA_PLATFORM"_s) || environment.value(u"DISPLAY"_s).isEmpty())
        return std::nullopt;
    return QByteArray("xcb");
}

BackendChoice choose(const SessionFacts &facts)
{
    BackendChoice choice;
    choice.session = sessionKind(facts);
    const bool onX = facts.qtPlatform == u"xcb"_s;

    // Grabs through XWayland only see keys while an X window has the focus: on Wayland the
    // desktop has to bind the keys, whatever platform Qt runs on.
    if (onX && choice.session != SessionKind::wayland)
        choice.shortcuts = ShortcutBackendKind::x11;
    else if (facts.portalShortcutsVersion > 0)
        choice.shortcuts = ShortcutBackendKind::portal;
    else
        choice.shortcuts = ShortcutBackendKind::commands;

    if (facts.qtPlatform == u"wayland"_s)
        choice.clipboard = facts.dataControlProtocol ? ClipboardBackendKind::dataControl
                                                     : ClipboardBackendKind::none;
    else
        choice.clipboard = ClipboardBackendKind::system;
    return choice;
}

QString describe(const BackendChoice &choice, const SessionFacts &facts)
{
    QString session;
    switch (choice.session) {
    case SessionKind::x11:
        session = u"x11"_s;
        break;
    case SessionKind::wayland:
        session = u"wayland"_s;
        break;
    case SessionKind::other:
        session = facts.sessionType.isEmpty() ? u"unknown"_s : facts.sessionType;
        break;
    }

    QString shortcuts;
    switch (choice.shortcuts) {
    case ShortcutBackendKind::x11:
        shortcuts = u"x11"_s;
        break;
    case ShortcutBackendKind::portal:
        shortcuts = u"portal"_s;
        break;
    case ShortcutBackendKind::commands:
        shortcuts = u"commands"_s;
        break;
    }

    QString clipboard;
    switch (choice.clipboard) {
    case ClipboardBackendKind::system:
        clipboard = facts.qtPlatform == u"xcb"_s ? u"x11"_s : facts.qtPlatform;
        break;
    case ClipboardBackendKind::dataControl:
        clipboard = u"data-control"_s;
        break;
    case ClipboardBackendKind::none:
        clipboard = u"none"_s;
        break;
    }
    return u"session: %1, shortcuts: %2, clipboard: %3"_s.arg(session, shortcuts, clipboard);
}

} // namespace Ferrowick::DesktopSession
