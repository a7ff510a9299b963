#include "platform/PortalRequest.h"

#include "DebugLog.h"

#include <QCoro/QCoroDBusPendingCall>
#include <QCoro/QCoroSignal>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QPointer>

#include <cstdint>

namespace Ferrowick {

namespace {

const QString requestInterface = u"org.freedesktop.portal.Request"_s;

} // namespace

QDBusMessage PortalRequest::methodCall(const QString &interface, const QString &method)
{
    return QDBusMessage::createMethodCall(service, path, interface, method);
}

QString PortalRequest::objectPath(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

PortalRequest::PortalRequest(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
}

PortalRequest::~PortalRequest()
{
    unwatch();
}

void PortalRequest::watch(const QString &requestPath)
{
    unwatch();
    m_path = requestPath;
    m_bus.connect(
        service, m_path, requestInterface, u"Response"_s, this, SLOT(response(uint, QVariantMap)));
}

void PortalRequest::unwatch()
{
    if (!m_path.isEmpty())
        m_bus.disconnect(service, m_path, requestInterface, u"Response"_s, this,
            SLOT(response(uint, QVariantMap)));
    m_path.clear();
}

void PortalRequest::response(uint code, const QVariantMap &results)
{
    if (m_answer)
        return;
    m_answer.emplace(code, results);
    unwatch();
    emit answered();
}

void PortalRequest::abandonAll(QObject *owner)
{
    // Code 2 is the portal's "ended otherwise".
    for (PortalRequest *request : owner->findChildren<PortalRequest *>(Qt::FindDirectChildrenOnly))
        request->response(2, {});
}

QCoro::Task<std::optional<QVariantMap>> PortalRequest::call(QObject *owner, QDBusConnection bus,
    QString interface, QString method, QVariantList arguments, QVariantMap options,
    QString logPrefix)
{
    static std::uint64_t lastToken = 0;
    const QString token = u"ferrowick%1"_s.arg(++lastToken);
    options.insert(u"handle_token"_s, token);
    QString sender = bus.baseService().mid(1);
    sender.replace(u'.', u'_');
    const QString expected = u"%1/request/%2/%3"_s.arg(path, sender, token);
    const QPointer<QObject> guard(owner);
    const QPointer<PortalRequest> request = new PortalRequest(bus, owner);
    request->watch(expected);

    QDBusMessage message = methodCall(interface, method);
    arguments.append(options);
    message.setArguments(arguments);
    const QDBusPendingCall pending = bus.asyncCall(message);
    const QDBusMessage reply = co_await pending;
    if (!guard || !request)
        co_return std::nullopt;
    if (reply.type() != QDBusMessage::ReplyMessage) {
        DebugLog::note(u"%1%2 failed: %3: %4"_s.arg(
            logPrefix, method, reply.errorName(), reply.errorMessage()));
        delete request;
        co_return std::nullopt;
    }
    // Portals before 0.9 made up their own request path.
    const QString handle = objectPath(reply.arguments().value(0));
    if (!request->m_answer && !handle.isEmpty() && handle != expected)
        request->watch(handle);
    if (!request->m_answer)
        co_await qCoro(request.data(), &PortalRequest::answered);
    if (!guard || !request || !request->m_answer)
        co_return std::nullopt;
    const auto [code, results] = *request->m_answer;
    // It may still be inside its own signal.
    request->deleteLater();
    if (code != 0) {
        DebugLog::note(u"%1%2 ended with response %3 (%4)"_s.arg(
            logPrefix, method, QString::number(code), code == 1 ? u"cancelled"_s : u"failed"_s));
        co_return std::nullopt;
    }
    co_return results;
}

} // namespace Ferrowick
