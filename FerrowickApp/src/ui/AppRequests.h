#pragma once

#include "RecentLinks.h"

#include <FWKit/HotkeyConfiguration.h>

#include <QCoro/QCoroTask>
#include <QObject>
#include <QStringList>

namespace Ferrowick {

// What the windows ask of the application beyond the model. The windows know only these and
// FWKit; AppContainer is the one implementation.
class AppRequests
{
public:
    virtual ~AppRequests() = default;

    virtual void requestSettings() = 0;
    virtual void requestPasteToggle() = 0;
    virtual void startShrink() = 0;
    // New Batch, or the settings window when the model cannot open the page.
    virtual void newBatch() = 0;
    virtual void checkForUpdates() = 0;
    // The paste languages: the kept list, or loaded and kept when there is none yet. Empty when
    // the service has none to give.
    virtual QCoro::Task<QStringList> pasteLanguages() = 0;
    // The links made lately; it tells of its changes.
    virtual const RecentLinks &recentLinks() const = 0;
    // Puts that link on the clipboard again.
    virtual void copyRecent(const RecentLink &link) = 0;
    virtual void clearRecent() = 0;
};

// The shortcuts in effect, as the menu shows them and the settings window changes them.
class HotkeySettings : public QObject
{
    Q_OBJECT

public:
    // Who binds the keys: our own recorder (X11 grabs), the desktop (the portal), or nobody, so
    // the user binds our commands in the desktop's or compositor's settings.
    enum class Binder { recorder, desktop, commands };

    using QObject::QObject;

    virtual Binder binder() const = 0;
    // With Binder::desktop: the desktop's text for the action's key, empty while it has none.
    virtual QString desktopTrigger(FWKit::FWHotkeyAction action) const = 0;
    // With Binder::desktop: whether the desktop's own shortcut editor can be opened, and opening
    // it.
    virtual bool canConfigureInDesktop() const = 0;
    virtual void configureInDesktop() = 0;

    virtual const FWKit::FWHotkeyConfiguration &hotkeyConfiguration() const = 0;
    // Replaces the registered shortcuts and saves them. False, with the previous configuration
    // registered, stored and shown again, when a combination is refused or the save fails.
    virtual bool applyHotkeys(const FWKit::FWHotkeyConfiguration &configuration) = 0;

signals:
    // Also when the desktop changes the keys it binds for us.
    void hotkeyConfigurationChanged();
};

} // namespace Ferrowick
