#pragma once

#include "AppId.h"

#include <FWKit/AppModel.h>
#include <FWKit/Credentials.h>
#include <FWKit/Desktop.h>
#include <FWKit/FWHotkeys.h>
#include <FWKit/FWManager.h>
#include <FWKit/HTTPClient.h>
#include <FWKit/HTTPTransport.h>
#include <FWKit/HotkeyConfiguration.h>

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace Ferrowick {

class UpdateController;
class UpdaterActivation;

// The desktop services the container works through, borrowed: they must outlive it. The real
// ones come from DesktopServices; tests hand in fakes.
struct AppServices
{
    FWKit::PreferencesStoring &preferences;
    FWKit::KeychainServicing &keychain;
    std::shared_ptr<FWKit::HTTPTransport> transport;
    FWKit::PasteboardReading &pasteboard;
    FWKit::Notifying &notifier;
    FWKit::BrowserLaunching &browser;
    FWKit::HotkeyBackend &hotkeys;
    FWKit::ServiceURLs urls = FWKit::ServiceURLs::fromEnvironment();
    bool automaticUpdateChecks = true;
    std::chrono::milliseconds requestTimeout = FWKit::HTTPClient::defaultTimeout;
};

// Owns every long-lived object of the application and runs the launch sequence. Main thread only.
// Windows are not its business: it asks for them through settingsRequested() and
// pasteToggleRequested(), which the application connects to the windows.
class AppContainer : public QObject
{
    Q_OBJECT

public:
    using HotkeyHandler = std::function<void(FWKit::FWHotkeyAction)>;

    static inline const QString serviceID = appId;
    static constexpr std::chrono::seconds pollingInterval { 300 };

    // Builds everything in order: hotkey store, update controller, credential store, migration,
    // manager, model, shortcut configuration, credential check.
    explicit AppContainer(AppServices services, QObject *parent = nullptr);
    ~AppContainer() override;

    // The process's container over DesktopServices::shared(), built on first use. Null once
    // releaseShared() has run: the application releases it before QApplication goes.
    static AppContainer *shared();
    static void releaseShared();

    FWKit::AppModel &appModel() { return *m_appModel; }
    FWKit::CredentialStoring &store() { return m_store; }
    FWKit::HotkeyStore &hotkeyStore() { return m_hotkeyStore; }
    UpdateController &updater() { return *m_updater; }
    FWKit::Notifying &notifier() { return m_services.notifier; }
    // Whether the login or the password was missing or empty right after the migration.
    bool didCompleteMigrationWithIncompleteCredentials() const { return m_incompleteCredentials; }

    // Each setter notifies only when the value really changes (the handler: on every write).
    const QStringList &languages() const { return m_languages; }
    void setLanguages(const QStringList &languages);
    const QList<FWKit::FWHotkeyRef> &hotkeyRefs() const { return m_hotkeyRefs; }
    void setHotkeyRefs(const QList<FWKit::FWHotkeyRef> &refs);
    const FWKit::FWHotkeyConfiguration &hotkeyConfiguration() const
    {
        return m_hotkeyConfiguration;
    }
    void setHotkeyConfiguration(const FWKit::FWHotkeyConfiguration &configuration);
    const HotkeyHandler &hotkeyHandler() const { return m_hotkeyHandler; }
    void setHotkeyHandler(HotkeyHandler handler);

    // Everything after construction: the launch line, the dispatcher, the shortcuts, the first
    // refresh, then polling or, without credentials, the settings window.
    void launch();

    // Replaces the registered shortcuts and saves them. False, with the previous configuration
    // registered, stored and shown again, when a combination is refused or the save fails.
    bool applyHotkeys(const FWKit::FWHotkeyConfiguration &configuration);

    // The menu's user-initiated update check.
    void checkForUpdates();

    // What a shortcut press does; the menu's entries call the same operations.
    void dispatch(FWKit::FWHotkeyAction action);
    // Starts a shrink and logs its outcome; returns at once.
    void startShrink();
    // New Batch, or the settings window when the model cannot open the page.
    void newBatch();
    void requestSettings() { emit settingsRequested(); }
    void requestPasteToggle() { emit pasteToggleRequested(); }

signals:
    void languagesChanged();
    void hotkeyRefsChanged();
    void hotkeyConfigurationChanged();
    void hotkeyHandlerChanged();
    void settingsRequested();
    void pasteToggleRequested();

private:
    QList<FWKit::FWHotkeyRef> registerHotkeys(const FWKit::FWHotkeyConfiguration &configuration);
    bool rollBack(const QList<FWKit::FWHotkeyRef> &refused);

    AppServices m_services;
    FWKit::HotkeyStore m_hotkeyStore;
    std::unique_ptr<UpdaterActivation> m_updaterActivation;
    std::unique_ptr<UpdateController> m_updater;
    FWKit::KeychainCredentialStore m_store;
    std::unique_ptr<FWKit::FWManager> m_manager;
    std::unique_ptr<FWKit::AppModel> m_appModel;
    FWKit::FWHotkeys m_hotkeys;

    QStringList m_languages;
    QList<FWKit::FWHotkeyRef> m_hotkeyRefs;
    FWKit::FWHotkeyConfiguration m_hotkeyConfiguration;
    HotkeyHandler m_hotkeyHandler;
    bool m_incompleteCredentials = false;
};

} // namespace Ferrowick
