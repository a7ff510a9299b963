#pragma once

#include <FWKit/Desktop.h>

#include <QCoro/QCoroTask>
#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>
#include <utility>

namespace Ferrowick {

// Notices go to the desktop's notification server (org.freedesktop.Notifications); where there is
// none, or it refuses one, they become a modal alert. A notice about a link carries an Open action
// where the server offers actions; invoking it opens the link in the browser, which the notifier
// borrows and which must outlive it. One per process, main thread only.
class Notifier final : public QObject, public FWKit::Notifying
{
    Q_OBJECT

public:
    explicit Notifier(FWKit::BrowserLaunching &browser,
        QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    // Asks whether a server answers on the bus; returns at once. The answer is logged and decides
    // later notices: a server that answers is "granted", a bus error "denied".
    void requestAuthorization();

    // Unknown until the server has answered (or the bus has said why not).
    std::optional<bool> authorizationGranted() const { return m_authorizationGranted; }
    bool alertInFlight() const { return m_alertInFlight; }

    // Returns at once. Sent as a notification unless authorization was denied; the alert, when
    // there is one, opens from the event loop afterwards.
    void notify(const QString &title, const QString &body) override;
    void notifyLink(const QString &title, const QString &body, const QUrl &link) override;

    // A modal alert titled "Ferrowick" with one OK button; returns once it is dismissed. Other
    // flows run meanwhile (nested event loop). While one is up, another is dropped, not queued.
    void showAlert(const QString &title, const QString &body);

private slots:
    void actionInvoked(uint id, const QString &key);
    void notificationClosed(uint id, uint reason);

private:
    static QCoro::Task<> authorize(QPointer<Notifier> self);
    static QCoro::Task<> post(QPointer<Notifier> self, QString title, QString body, QUrl link);
    static QCoro::Task<QStringList> capabilities(QPointer<Notifier> self);
    void showAlertLater(const QString &title, const QString &body);

    FWKit::BrowserLaunching &m_browser;
    QDBusConnection m_bus;
    std::optional<bool> m_authorizationGranted;
    bool m_alertInFlight = false;
    // What the server offers (markup in bodies, actions); unknown until it has listed them.
    std::optional<QStringList> m_capabilities;
    // Our notices on screen that carry an Open action, oldest first, with their links.
    QList<std::pair<uint, QUrl>> m_links;
};

} // namespace Ferrowick
