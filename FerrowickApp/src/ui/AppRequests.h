#pragma once

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
};

// The shortcuts in effect, as the menu shows them and the settings window changes them.
class HotkeySettings : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual const FWKit::FWHotkeyConfiguration &hotkeyConfiguration() const = 0;
    // Replaces the registered shortcuts and saves them. False, with the previous configuration
    // registered, stored and shown again, when a combination is refused or the save fails.
    virtual bool applyHotkeys(const FWKit::FWHotkeyConfiguration &configuration) = 0;

signals:
    void hotkeyConfigurationChanged();
};

} // namespace Ferrowick
