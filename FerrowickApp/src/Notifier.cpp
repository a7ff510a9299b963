#include "Notifier.h"

#include "AppId.h"
#include "DebugLog.h"

#include <QCoro/QCoroDBusPendingCall>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVariantMap>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Ferrowick {

namespace {

const QString appName = u"Ferrowick"_s;

QDBusMessage serverCall(const QString &method)
{
    return QDBusMessage::createMethodCall(u"org.freedesktop.Notifications"_s,
        u"/org/freedesktop/Notifications"_s, u"org.freedesktop.Notifications"_s, method);
}

// Only what markup would swallow or misread, so a link in the body reads exactly as given.
QString escapedMarkup(QString text)
{
    return text.replace(u'&', u"&amp;"_s).replace(u'<', u"&lt;"_s).replace(u'>', u"&gt;"_s);
}

} // namespace

Notifier::Notifier(FWKit::BrowserLaunching &browser, QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_browser(browser)
    , m_bus(std::move(bus))
{
    // The server broadcasts these for every client's notices; ours are told apart by their ids.
    const QString service = u"org.freedesktop.Notifications"_s;
    const QString path = u"/org/freedesktop/Notifications"_s;
    m_bus.connect(
        service, path, service, u"ActionInvoked"_s, this, SLOT(actionInvoked(uint, QString)));
    m_bus.connect(service, path, service, u"NotificationClosed"_s, this,
        SLOT(notificationClosed(uint, uint)));
}

void Notifier::requestAuthorization()
{
    authorize(this);
}

QCoro::Task<> Notifier::authorize(QPointer<Notifier> self)
{
    const QDBusPendingCall call = self->m_bus.asyncCall(serverCall(u"GetServerInformation"_s));
    const QDBusMessage reply = co_await call;
    if (!self)
        co_return;
    const bool granted = reply.type() == QDBusMessage::ReplyMessage;
    DebugLog::note(u"notification authorization granted=%1 error=%2"_s.arg(
        granted ? u"true"_s : u"false"_s, granted ? u"nil"_s : reply.errorMessage()));
    self->m_authorizationGranted = granted;
    if (granted)
        co_await capabilities(self);
}

QCoro::Task<QStringList> Notifier::capabilities(QPointer<Notifier> self)
{
    if (self->m_capabilities) {
        // Returned from a local: g++ 12 moves out of the member in `co_return *member`.
        const QStringList known = *self->m_capabilities;
        co_return known;
    }
    const QDBusPendingCall call = self->m_bus.asyncCall(serverCall(u"GetCapabilities"_s));
    const QDBusMessage reply = co_await call;
    // A failed query is not remembered: the server may simply not be up yet.
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        co_return QStringList();
    const QStringList offered = reply.arguments().constFirst().toStringList();
    if (self)
        self->m_capabilities = offered;
    co_return offered;
}

void Notifier::notify(const QString &title, const QString &body)
{
    notifyLink(title, body, QUrl());
}

void Notifier::notifyLink(const QString &title, const QString &body, const QUrl &link)
{
    if (m_authorizationGranted == false) {
        DebugLog::note(u"notifications denied, showing alert directly"_s);
        showAlertLater(title, body);
        return;
    }
    post(this, title, body, link);
}

QCoro::Task<> Notifier::post(QPointer<Notifier> self, QString title, QString body, QUrl link)
{
    // What to send depends on the server; an early notice waits for its capabilities.
    const QStringList offered = co_await capabilities(self);
    if (!self)
        co_return;
    const bool markup = offered.contains(u"body-markup"_s);
    const bool open = link.isValid() && offered.contains(u"actions"_s);
    // "default" is a click on the notice itself: the link is all the notice is about.
    const QStringList actions =
        open ? QStringList { u"default"_s, u"Open"_s, u"open"_s, u"Open"_s } : QStringList();
    QDBusMessage message = serverCall(u"Notify"_s);
    message << appName << 0u << appId << title << (markup ? escapedMarkup(body) : body) << actions
            << QVariantMap { { u"desktop-entry"_s, appId } } << -1;
    const QDBusPendingCall call = self->m_bus.asyncCall(message);
    const QDBusMessage reply = co_await call;
    if (!self)
        co_return;
    if (reply.type() == QDBusMessage::ErrorMessage) {
        DebugLog::note(
            u"notification add failed, falling back to alert: "_s + reply.errorMessage());
        self->showAlertLater(title, body);
        co_return;
    }
    if (!open || reply.arguments().isEmpty())
        co_return;
    // A server that never reports its notices closed must not make the list grow for ever.
    constexpr qsizetype remembered = 32;
    if (self->m_links.size() == remembered)
        self->m_links.removeFirst();
    self->m_links.append({ reply.arguments().constFirst().toUInt(), link });
}

void Notifier::actionInvoked(uint id, const QString &key)
{
    if (key != u"open"_s && key != u"default"_s)
        return;
    const auto found =
        std::ranges::find_if(m_links, [id](const auto &entry) { return entry.first == id; });
    if (found == m_links.cend())
        return;
    DebugLog::note(u"notification action: "_s + key);
    m_browser.open(found->second);
}

void Notifier::notificationClosed(uint id, uint reason)
{
    Q_UNUSED(reason);
    m_links.removeIf([id](const auto &entry) { return entry.first == id; });
}

void Notifier::showAlertLater(const QString &title, const QString &body)
{
    // The caller returns first; the alert's nested event loop must not run inside it.
    QTimer::singleShot(0, this, [this, title, body] { showAlert(title, body); });
}

void Notifier::showAlert(const QString &title, const QString &body)
{
    if (m_alertInFlight) {
        DebugLog::note(u"alert suppressed, another in flight"_s);
        return;
    }
    m_alertInFlight = true;
    const QPointer self(this);

    QMessageBox box;
    box.setWindowTitle(appName);
    box.setText(title);
    box.setInformativeText(body);
    // Both texts come from elsewhere (service messages, links); markup in them is shown as typed.
    // setTextFormat() alone leaves the informative text to Qt's rich-text guess.
    for (QLabel *label : box.findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    box.setStandardButtons(QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(u"OK"_s);
    box.setWindowModality(Qt::ApplicationModal);
    // A tray application has no window of its own in front: bring the alert there.
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();

    if (self)
        m_alertInFlight = false;
}

} // namespace Ferrowick
