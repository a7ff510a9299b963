#include "SingleInstance.h"

#include "DebugLog.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

using namespace Qt::StringLiterals;

namespace Ferrowick {

SingleInstance::SingleInstance(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
}

bool SingleInstance::isOwned() const
{
    return m_bus.isConnected() && m_bus.interface() &&
        m_bus.interface()->isServiceRegistered(busName).value();
}

SingleInstance::Claim SingleInstance::claim(
    std::optional<Trigger> trigger, const QString &activationToken)
{
    if (!m_bus.isConnected() || !m_bus.interface()) {
        DebugLog::note(u"single instance: no session bus; running without the guard"_s);
        return Claim::unguarded;
    }

    // The object goes up first, so a start that finds the name can always reach it.
    m_bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots);
    const auto reply = m_bus.interface()->registerService(busName,
        QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return Claim::first;
    m_bus.unregisterObject(objectPath);
    if (!reply.isValid()) {
        DebugLog::note(u"single instance: the bus refused the name ("_s + reply.error().message() +
            u"); running without the guard"_s);
        return Claim::unguarded;
    }

    QDBusMessage call = QDBusMessage::createMethodCall(
        busName, objectPath, appId, trigger ? u"RunCommand"_s : u"OpenSettings"_s);
    if (trigger)
        call << triggerName(*trigger) << activationToken;
    const QDBusMessage answer = m_bus.call(call, QDBus::Block, 5'000);
    if (trigger && answer.type() == QDBusMessage::ErrorMessage) {
        DebugLog::note(u"command: the running Ferrowick did not take '%1' (%2)"_s.arg(
            triggerName(*trigger), answer.errorMessage()));
        return Claim::refused;
    }
    if (answer.type() == QDBusMessage::ErrorMessage) {
        DebugLog::note(u"single instance: the owner of the name did not answer ("_s +
            answer.errorMessage() + u"); running without the guard"_s);
        return Claim::unguarded;
    }
    DebugLog::note(trigger
            ? u"command: handed '%1' to the running Ferrowick"_s.arg(triggerName(*trigger))
            : u"second start: asked the running Ferrowick to open its settings"_s);
    return Claim::secondStart;
}

void SingleInstance::OpenSettings()
{
    emit settingsRequested();
}

void SingleInstance::RunCommand(const QString &command, const QString &activationToken)
{
    const std::optional<Trigger> trigger = triggerFromName(command);
    if (!trigger) {
        // The caller sees the error; an older or newer Ferrowick may send what we do not know.
        sendErrorReply(QDBusError::InvalidArgs, u"unknown command '%1'"_s.arg(command));
        return;
    }
    emit triggered(*trigger, activationToken);
}

} // namespace Ferrowick
