#include "DesktopSession.h"

#include <array>

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
    // In each enum's order.
    static const std::array<QString, 3> sessions { u"x11"_s, u"wayland"_s, QString() };
    static const std::array<QString, 3> shortcuts { u"x11"_s, u"portal"_s, u"commands"_s };
    static const std::array<QString, 3> clipboards { QString(), u"data-control"_s, u"none"_s };

    QString session = sessions[std::size_t(choice.session)];
    if (choice.session == SessionKind::other)
        session = facts.sessionType.isEmpty() ? u"unknown"_s : facts.sessionType;
    QString clipboard = clipboards[std::size_t(choice.clipboard)];
    if (choice.clipboard == ClipboardBackendKind::system)
        clipboard = facts.qtPlatform == u"xcb"_s ? u"x11"_s : facts.qtPlatform;
    return u"session: %1, shortcuts: %2, clipboard: %3"_s.arg(
        session, shortcuts[std::size_t(choice.shortcuts)], clipboard);
}

} // namespace Ferrowick::DesktopSession
