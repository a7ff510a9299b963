#pragma once

// The small interfaces to the desktop that the application implements: BrowserLaunching,
// Notifying, PasteboardReading and PreferencesStoring.

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

namespace FWKit {

// Hands a web page to the user's default browser.
class BrowserLaunching
{
public:
    virtual ~BrowserLaunching() = default;

    // Returns at once; whether and when a page is shown is the browser's business and is never
    // reported back.
    virtual void open(const QUrl &url) = 0;
};

// Shows a notice to the user: a desktop notification, or an alert where notifications are refused.
class Notifying
{
public:
    virtual ~Notifying() = default;

    // Returns at once; the notice is shown on the notifier's own schedule and the caller never
    // learns how. Callers carry on (and return their outcome) without waiting for the user.
    virtual void notify(const QString &title, const QString &body) = 0;
    // A notice about a link just made: where the desktop offers actions on notifications, it
    // carries an "Open" action that opens the link in the browser. Otherwise the plain notice.
    virtual void notifyLink(const QString &title, const QString &body, const QUrl &link)
    {
        Q_UNUSED(link);
        notify(title, body);
    }
};

// The system clipboard's plain text.
class PasteboardReading
{
public:
    virtual ~PasteboardReading() = default;

    // The clipboard's plain text, or nothing when it holds no text.
    virtual std::optional<QString> string() const = 0;
    // Replaces the whole clipboard content with the text.
    virtual void setString(const QString &text) = 0;
};

// The application's user preferences (QSettings in the application). Values are typed: a string
// read where bytes are stored, or the reverse, reads as nothing.
class PreferencesStoring
{
public:
    virtual ~PreferencesStoring() = default;

    virtual std::optional<QString> string(const QString &key) const = 0;
    virtual std::optional<QByteArray> data(const QString &key) const = 0;
    virtual void setData(const QString &key, const QByteArray &value) = 0;
    // Removing an absent key is harmless.
    virtual void remove(const QString &key) = 0;
    // Writes pending changes out.
    virtual void sync() = 0;
};

} // namespace FWKit
