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

Notifier::Notifier(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
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
        co_await bodyMarkup(self);
}

QCoro::Task<bool> Notifier::bodyMarkup(QPointer<Notifier> self)
{
    if (self->m_bodyMarkup)
        co_return *self->m_bodyMarkup;
    const QDBusPendingCall call = self->m_bus.asyncCall(serverCall(u"GetCapabilities"_s));
    const QDBusMessage reply = co_await call;
    // A failed query is not remembered: the server may simply not be up yet.
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        co_return false;
    const bool markup = reply.arguments().constFirst().toStringList().contains(u"body-markup"_s);
    if (self)
        self->m_bodyMarkup = markup;
    co_return markup;
}

void Notifier::notify(const QString &title, const QString &body)
{
    if (m_authorizationGranted == false) {
        DebugLog::note(u"notifications denied, showing alert directly"_s);
        showAlertLater(title, body);
        return;
    }
    post(this, title, body);
}

QCoro::Task<> Notifier::post(QPointer<Notifier> self, QString title, QString body)
{
    // Whether to escape depends on the server; an early notice waits for its capabilities.
    const bool markup = co_await bodyMarkup(self);
    if (!self)
        co_return;
    QDBusMessage message = serverCall(u"Notify"_s);
    message << appName << 0u << appId << title << (markup ? escapedMarkup(body) : body)
            << QStringList() << QVariantMap { { u"desktop-entry"_s, appId } } << -1;
    const QDBusPendingCall call = self->m_bus.asyncCall(message);
    const QDBusMessage reply = co_await call;
    if (!self || reply.type() != QDBusMessage::ErrorMessage)
        co_return;
    DebugLog::note(u"notification add failed, falling back to alert: "_s + reply.errorMessage());
    self->showAlertLater(title, body);
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
