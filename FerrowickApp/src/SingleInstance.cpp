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

SingleInstance::Claim SingleInstance::claim()
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

    const QDBusMessage call =
        QDBusMessage::createMethodCall(busName, objectPath, appId, u"OpenSettings"_s);
    const QDBusMessage answer = m_bus.call(call, QDBus::Block, 5'000);
    if (answer.type() == QDBusMessage::ErrorMessage) {
        DebugLog::note(u"single instance: the owner of the name did not answer ("_s +
            answer.errorMessage() + u"); running without the guard"_s);
        return Claim::unguarded;
    }
    DebugLog::note(u"second start: asked the running Ferrowick to open its settings"_s);
    return Claim::secondStart;
}

void SingleInstance::OpenSettings()
{
    emit settingsRequested();
}

} // namespace Ferrowick
