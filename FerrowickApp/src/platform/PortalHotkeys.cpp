#include "platform/PortalHotkeys.h"

#include "AppId.h"
#include "DebugLog.h"
#include "platform/KeyMap.h"
#include "platform/PortalRequest.h"

#include <QCoro/QCoroDBusPendingCall>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QTimer>

#include <utility>

using namespace Qt::StringLiterals;

namespace Ferrowick {

namespace {

const QString &portalService = PortalRequest::service;
const QString &portalPath = PortalRequest::path;
const QString logPrefix = u"shortcuts: "_s;
const QString shortcutsInterface = u"org.freedesktop.portal.GlobalShortcuts"_s;
// Stable, so the desktop files our keys under the same session name in every run.
const QString sessionToken = u"ferrowick"_s;

// A portal without repeat-free presses and without releases repeats a held key at the keyboard's
// rate; presses closer than this are taken as one.
constexpr qulonglong repeatWindowMs = 700;

QString description(FWKit::FWHotkeyAction action)
{
    switch (action) {
    case FWKit::FWHotkeyAction::newBatch:
        return u"Start a new upload batch"_s;
    case FWKit::FWHotkeyAction::openFerrowick:
        return u"Open the Ferrowick website"_s;
    case FWKit::FWHotkeyAction::togglePaste:
        return u"Show or hide the paste panel"_s;
    case FWKit::FWHotkeyAction::newShrink:
        return u"Shrink the link on the clipboard"_s;
    }
    return {};
}

std::optional<FWKit::FWHotkeyAction> actionNamed(const QString &name)
{
    for (const FWKit::FWHotkeyAction action : FWKit::allHotkeyActions) {
        if (name == QLatin1StringView(FWKit::hotkeyActionName(action)))
            return action;
    }
    return std::nullopt;
}

} // namespace

// One shortcut as the portal lists it: a(sa{sv}).
struct PortalShortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace Ferrowick

Q_DECLARE_METATYPE(Ferrowick::PortalShortcut)

namespace Ferrowick {

namespace {

QList<PortalShortcut> portalShortcuts(const std::map<FWKit::FWHotkeyAction, QString> &wanted)
{
    QList<PortalShortcut> list;
    for (const auto &[action, trigger] : wanted) {
        PortalShortcut shortcut { QString::fromLatin1(FWKit::hotkeyActionName(action)),
            { { u"description"_s, description(action) } } };
        if (!trigger.isEmpty())
            shortcut.properties.insert(u"preferred_trigger"_s, trigger);
        list.append(shortcut);
    }
    return list;
}

} // namespace

PortalHotkeys::PortalHotkeys(QDBusConnection bus, QObject *parent)
    : DesktopShortcuts(parent)
    , m_bus(std::move(bus))
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    m_bus.connect(portalService, portalPath, shortcutsInterface, u"Activated"_s, this,
        SLOT(activated(QDBusMessage)));
    m_bus.connect(portalService, portalPath, shortcutsInterface, u"Deactivated"_s, this,
        SLOT(deactivated(QDBusMessage)));
    m_bus.connect(portalService, portalPath, shortcutsInterface, u"ShortcutsChanged"_s, this,
        SLOT(shortcutsChanged(QDBusMessage)));
    m_watcher = new QDBusServiceWatcher(portalService, m_bus,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
        this);
    connect(
        m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &PortalHotkeys::portalVanished);
    connect(
        m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &PortalHotkeys::portalAppeared);
}

PortalHotkeys::~PortalHotkeys()
{
    // The portal would close it when our connection ends; a process that lives on (tests) must
    // not leave it bound.
    if (!m_session.isEmpty()) {
        m_bus.send(QDBusMessage::createMethodCall(
            portalService, m_session, u"org.freedesktop.portal.Session"_s, u"Close"_s));
    }
}

int PortalHotkeys::availableVersion(QDBusConnection bus)
{
    if (!bus.isConnected())
        return 0;
    QDBusMessage get = PortalRequest::methodCall(u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    get << shortcutsInterface << u"version"_s;
    const QDBusMessage reply = bus.call(get, QDBus::Block, 1000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return 0;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toInt();
}

void PortalHotkeys::installEventHandler(PressCallback callback)
{
    m_callback = std::move(callback);
}

std::optional<FWKit::FWHotkeyRef> PortalHotkeys::registerHotkey(
    const FWKit::FWHotkeyDescriptor &descriptor)
{
    if (!FWKit::hotkeyActionFromRaw(descriptor.id))
        return std::nullopt;
    for (const auto &[ref, registered] : m_registrations) {
        if (registered.id == descriptor.id)
            return std::nullopt;
    }
    m_registrations.emplace(++m_lastRef, descriptor);
    scheduleBind();
    return FWKit::FWHotkeyRef { m_lastRef };
}

void PortalHotkeys::unregisterHotkey(FWKit::FWHotkeyRef ref)
{
    const auto found = m_registrations.find(ref.value);
    if (found == m_registrations.end())
        return;
    if (const auto action = FWKit::hotkeyActionFromRaw(found->second.id))
        m_presses.erase(*action);
    m_registrations.erase(found);
    scheduleBind();
}

QString PortalHotkeys::trigger(FWKit::FWHotkeyAction action) const
{
    const auto found = m_triggers.find(action);
    return found == m_triggers.end() ? QString() : found->second;
}

bool PortalHotkeys::canConfigure() const
{
    return m_version >= 2;
}

void PortalHotkeys::configure()
{
    if (!canConfigure())
        return;
    if (m_session.isEmpty()) {
        DebugLog::note(u"shortcuts: no portal session to configure yet"_s);
        return;
    }
    configureNow(this);
}

QCoro::Task<> PortalHotkeys::configureNow(QPointer<PortalHotkeys> self)
{
    QDBusMessage message = PortalRequest::methodCall(shortcutsInterface, u"ConfigureShortcuts"_s);
    message << QVariant::fromValue(QDBusObjectPath(self->m_session)) << QString() << QVariantMap();
    const QDBusPendingCall call = self->m_bus.asyncCall(message);
    const QDBusMessage reply = co_await call;
    if (reply.type() == QDBusMessage::ErrorMessage) {
        DebugLog::note(u"shortcuts: ConfigureShortcuts failed: %1: %2"_s.arg(
            reply.errorName(), reply.errorMessage()));
    }
}

void PortalHotkeys::scheduleBind()
{
    // FWHotkeys registers the actions one by one in a loop: one bind covers them all.
    if (m_bindScheduled)
        return;
    m_bindScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_bindScheduled = false;
        bind(this);
    });
}

PortalHotkeys::Wanted PortalHotkeys::wanted() const
{
    Wanted result;
    for (const auto &[ref, descriptor] : m_registrations) {
        if (const auto action = FWKit::hotkeyActionFromRaw(descriptor.id)) {
            result[*action] = KeyMap::portalTrigger({ descriptor.keyCode, descriptor.modifiers })
                                  .value_or(QString());
        }
    }
    return result;
}

QCoro::Task<> PortalHotkeys::bind(QPointer<PortalHotkeys> self)
{
    // One bind at a time; changes meanwhile are bound after it.
    if (self->m_binding) {
        self->m_bindAgain = true;
        co_return;
    }
    self->m_binding = true;
    bool bound = true;
    do {
        self->m_bindAgain = false;
        const Wanted wanted = self->wanted();
        if (self->m_bound == wanted || (self->m_session.isEmpty() && wanted.empty()))
            break;
        bound = co_await bindOnce(self, wanted);
        if (!self)
            co_return;
    } while (bound && self->m_bindAgain);
    self->m_binding = false;
}

QCoro::Task<bool> PortalHotkeys::prepare(QPointer<PortalHotkeys> self)
{
    if (self->m_prepared)
        co_return true;

    // Tells a portal that cannot see our app id (no sandbox, no systemd scope) who we are; it
    // must come before any other call. Portals before 1.18 do not have it.
    QDBusMessage registration =
        PortalRequest::methodCall(u"org.freedesktop.host.portal.Registry"_s, u"Register"_s);
    registration << appId << QVariantMap();
    const QDBusPendingCall registerCall = self->m_bus.asyncCall(registration);
    const QDBusMessage registered = co_await registerCall;
    if (!self)
        co_return false;
    if (registered.type() == QDBusMessage::ErrorMessage) {
        const QString error = registered.errorName();
        // No portal at all: the version query below would only say so again.
        if (error == u"org.freedesktop.DBus.Error.ServiceUnknown"_s ||
            error == u"org.freedesktop.DBus.Error.NameHasNoOwner"_s) {
            DebugLog::note(
                u"shortcuts: no desktop portal: %1: %2"_s.arg(error, registered.errorMessage()));
            co_return false;
        }
        // UnknownMethod, UnknownInterface: an older portal, which finds our id itself.
        if (!error.startsWith(u"org.freedesktop.DBus.Error.Unknown"_s)) {
            DebugLog::note(u"shortcuts: portal registry refused our app id: %1: %2"_s.arg(
                error, registered.errorMessage()));
        }
    }

    QDBusMessage get = PortalRequest::methodCall(u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    get << shortcutsInterface << u"version"_s;
    const QDBusPendingCall versionCall = self->m_bus.asyncCall(get);
    const QDBusMessage version = co_await versionCall;
    if (!self)
        co_return false;
    if (version.type() != QDBusMessage::ReplyMessage || version.arguments().isEmpty()) {
        DebugLog::note(u"shortcuts: portal offers no GlobalShortcuts: %1: %2"_s.arg(
            version.errorName(), version.errorMessage()));
        co_return false;
    }
    self->m_version = version.arguments().constFirst().value<QDBusVariant>().variant().toInt();
    self->m_prepared = true;
    // Views read canConfigure() when they refresh their triggers.
    if (self->canConfigure())
        emit self->triggersChanged();
    co_return true;
}

QCoro::Task<bool> PortalHotkeys::bindOnce(QPointer<PortalHotkeys> self, Wanted wanted)
{
    const bool prepared = co_await prepare(self);
    if (!self || !prepared)
        co_return false;
    const QVariant shortcuts = QVariant::fromValue(portalShortcuts(wanted));

    if (self->m_session.isEmpty()) {
        // xdg-desktop-portal-kde 5.27 takes the list from here only, and ignores the bind's.
        const QVariantMap options { { u"session_handle_token"_s, sessionToken },
            { u"shortcuts"_s, shortcuts } };
        const std::optional<QVariantMap> created = co_await PortalRequest::call(
            self, self->m_bus, shortcutsInterface, u"CreateSession"_s, {}, options, logPrefix);
        if (!self || !created)
            co_return false;
        const QString session = PortalRequest::objectPath(created->value(u"session_handle"_s));
        if (session.isEmpty()) {
            DebugLog::note(u"shortcuts: CreateSession answered without a session handle"_s);
            co_return false;
        }
        self->m_session = session;
        self->takeTriggers(created->value(u"shortcuts"_s), true);
    }

    const QVariantList arguments { QVariant::fromValue(QDBusObjectPath(self->m_session)), shortcuts,
        QString() };
    const std::optional<QVariantMap> bound = co_await PortalRequest::call(
        self, self->m_bus, shortcutsInterface, u"BindShortcuts"_s, arguments, {}, logPrefix);
    if (!self || !bound)
        co_return false;
    self->m_bound = wanted;
    self->m_presses.clear();
    DebugLog::note(u"shortcuts: portal session bound, %1 shortcuts"_s.arg(wanted.size()));
    if (bound->contains(u"shortcuts"_s)) {
        self->takeTriggers(bound->value(u"shortcuts"_s), true);
        co_return true;
    }
    // A portal that does not say what it bound is asked.
    const QVariantList session { QVariant::fromValue(QDBusObjectPath(self->m_session)) };
    const std::optional<QVariantMap> listed = co_await PortalRequest::call(
        self, self->m_bus, shortcutsInterface, u"ListShortcuts"_s, session, {}, logPrefix);
    if (self && listed)
        self->takeTriggers(listed->value(u"shortcuts"_s), true);
    co_return true;
}

std::optional<FWKit::FWHotkeyAction> PortalHotkeys::registeredAction(
    const QString &shortcutId) const
{
    const std::optional<FWKit::FWHotkeyAction> action = actionNamed(shortcutId);
    if (!action)
        return std::nullopt;
    for (const auto &[ref, descriptor] : m_registrations) {
        if (descriptor.id == static_cast<std::uint32_t>(FWKit::rawValue(*action)))
            return action;
    }
    return std::nullopt;
}

void PortalHotkeys::takeTriggers(const QVariant &shortcuts, bool complete)
{
    if (!shortcuts.isValid())
        return;
    std::map<FWKit::FWHotkeyAction, QString> triggers;
    if (!complete)
        triggers = m_triggers;
    for (const PortalShortcut &shortcut : qdbus_cast<QList<PortalShortcut>>(shortcuts)) {
        const QString text = shortcut.properties.value(u"trigger_description"_s).toString();
        const std::optional<FWKit::FWHotkeyAction> action = actionNamed(shortcut.id);
        if (!action)
            continue;
        if (text.isEmpty())
            triggers.erase(*action);
        else
            triggers[*action] = text;
    }
    if (triggers == m_triggers)
        return;
    m_triggers = std::move(triggers);
    emit triggersChanged();
}

void PortalHotkeys::activated(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (m_session.isEmpty() || arguments.size() < 2 ||
        PortalRequest::objectPath(arguments[0]) != m_session)
        return;
    const std::optional<FWKit::FWHotkeyAction> action = registeredAction(arguments[1].toString());
    if (!action)
        return;
    // One action per press: a held key may be reported again until its release.
    Press &press = m_presses[*action];
    const qulonglong timestamp = arguments.value(2).toULongLong();
    const bool repeat =
        press.held && (m_releasesSeen || (press.last && timestamp - *press.last < repeatWindowMs));
    press.held = true;
    press.last = timestamp;
    if (repeat || !m_callback)
        return;
    for (const auto &[ref, descriptor] : m_registrations) {
        if (descriptor.id == static_cast<std::uint32_t>(FWKit::rawValue(*action))) {
            // Copied: the callback may unregister.
            const FWKit::FWHotkeyDescriptor pressed = descriptor;
            m_callback(pressed.signature, pressed.id);
            return;
        }
    }
}

void PortalHotkeys::deactivated(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (m_session.isEmpty() || arguments.size() < 2 ||
        PortalRequest::objectPath(arguments[0]) != m_session)
        return;
    m_releasesSeen = true;
    if (const auto action = actionNamed(arguments[1].toString()))
        m_presses[*action].held = false;
}

void PortalHotkeys::shortcutsChanged(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (m_session.isEmpty() || arguments.size() < 2 ||
        PortalRequest::objectPath(arguments[0]) != m_session)
        return;
    // Only the shortcuts that changed.
    takeTriggers(arguments[1], false);
}

void PortalHotkeys::portalVanished()
{
    DebugLog::note(u"shortcuts: the portal left the bus; no presses until it returns"_s);
    dropSession();
}

void PortalHotkeys::portalAppeared()
{
    // Our own first call may be what started it; bind() then finds nothing left to do.
    if (!m_registrations.empty())
        scheduleBind();
}

void PortalHotkeys::dropSession()
{
    m_session.clear();
    m_bound.reset();
    m_prepared = false;
    m_presses.clear();
    // Their Responses will never come.
    PortalRequest::abandonAll(this);
    if (!m_triggers.empty()) {
        m_triggers.clear();
        emit triggersChanged();
    }
}

} // namespace Ferrowick
