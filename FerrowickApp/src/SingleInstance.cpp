#include "SingleInstance.h"

#include "DebugLog.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace Ferrowick {

SingleInstance::SingleInstance(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
}

SingleInstance::Claim SingleInstance::claim()
{
    if (!m_bus.isConnected() || !m_bus.interface()) {
        DebugLog::note(
            QStringLiteral("single instance: no session bus; running without the guard"));
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
        DebugLog::note(QStringLiteral("single instance: the bus refused the name (") +
            reply.error().message() + QStringLiteral("); running without the guard"));
        return Claim::unguarded;
    }

    const QDBusMessage call =
        QDBusMessage::createMethodCall(busName, objectPath, appId, QStringLiteral("OpenSettings"));
    const QDBusMessage answer = m_bus.call(call, QDBus::Block, 5'000);
    if (answer.type() == QDBusMessage::ErrorMessage) {
        DebugLog::note(QStringLiteral("single instance: the owner of the name did not answer (") +
            answer.errorMessage() + QStringLiteral("); running without the guard"));
        return Claim::unguarded;
    }
    DebugLog::note(
        QStringLiteral("second start: asked the running Ferrowick to open its settings"));
    return Claim::secondStart;
}

void SingleInstance::OpenSettings()
{
    emit settingsRequested();
}

} // namespace Ferrowick
