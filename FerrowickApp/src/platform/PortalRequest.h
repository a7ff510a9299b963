#pragma once

#include <QCoro/QCoroTask>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <optional>
#include <utility>

namespace Ferrowick {

using namespace Qt::StringLiterals;

// The desktop portal's address, and its calls that answer later through a Request object
// (CreateSession, BindShortcuts…). The Response is subscribed to before the call goes out, so a
// quick answer is not lost. Main thread only.
class PortalRequest : public QObject
{
    Q_OBJECT

public:
    static inline const QString service = u"org.freedesktop.portal.Desktop"_s;
    static inline const QString path = u"/org/freedesktop/portal/desktop"_s;

    // A call of the portal object, to be completed with arguments.
    static QDBusMessage methodCall(const QString &interface, const QString &method);
    // A handle the portal returns, which some versions send as a string and others as a path.
    static QString objectPath(const QVariant &value);

    // Calls method with the arguments and the options (plus a fresh handle_token) and waits for
    // the Response. The results when it answers 0; nothing when the call fails, the user cancels,
    // the portal fails, owner goes or abandonAll() ends the wait, each logged after logPrefix.
    static QCoro::Task<std::optional<QVariantMap>> call(QObject *owner, QDBusConnection bus,
        QString interface, QString method, QVariantList arguments, QVariantMap options,
        QString logPrefix);
    // Ends every wait of owner's requests as "ended otherwise": the portal left the bus and no
    // Response will come.
    static void abandonAll(QObject *owner);

signals:
    void answered();

private slots:
    void response(uint code, const QVariantMap &results);

private:
    PortalRequest(QDBusConnection bus, QObject *parent);
    ~PortalRequest() override;

    void watch(const QString &requestPath);
    void unwatch();

    QDBusConnection m_bus;
    QString m_path;
    std::optional<std::pair<uint, QVariantMap>> m_answer;
};

} // namespace Ferrowick
