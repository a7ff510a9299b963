#pragma once

#include "AppId.h"
#include "AppServices.h"
#include "RecentLinks.h"
#include "ui/AppRequests.h"

#include <FWKit/AppModel.h>
#include <FWKit/Credentials.h>
#include <FWKit/FWHotkeys.h>
#include <FWKit/FWManager.h>
#include <FWKit/HTTPClient.h>
#include <FWKit/HotkeyConfiguration.h>

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace Ferrowick {

class UpdateController;
class UpdaterActivation;

// Owns every long-lived object of the application and runs the launch sequence. Main thread only.
// Made once, by main(), over the desktop's services. Windows are not its business: it asks for
// them through settingsRequested() and pasteToggleRequested(), which main() connects to the
// windows, and the windows reach it only through AppRequests and HotkeySettings.
class AppContainer : public HotkeySettings, public AppRequests
{
    Q_OBJECT

public:
    using HotkeyHandler = std::function<void(FWKit::FWHotkeyAction)>;

    static inline const QString serviceID = appId;

    // Builds everything in order: hotkey store, update controller, credential store, Recent list,
    // migration, manager, model (the links it makes go to the Recent list), shortcut
    // configuration, credential check.
    explicit AppContainer(AppServices services, QObject *parent = nullptr);
    // The same, with the program's own files (the Recent list) in that folder instead of the
    // state folder.
    AppContainer(AppServices services, const QString &stateFolder, QObject *parent = nullptr);
    ~AppContainer() override;

    FWKit::AppModel &appModel() { return *m_appModel; }
    FWKit::CredentialStoring &store() { return m_store; }
    // Whether the login or the password was missing or empty right after the migration.
    bool didCompleteMigrationWithIncompleteCredentials() const { return m_incompleteCredentials; }

    const QStringList &languages() const { return m_languages; }
    void setLanguages(const QStringList &languages);
    const QList<FWKit::FWHotkeyRef> &hotkeyRefs() const { return m_hotkeyRefs; }
    const FWKit::FWHotkeyConfiguration &hotkeyConfiguration() const override
    {
        return m_hotkeyConfiguration;
    }
    void setHotkeyConfiguration(const FWKit::FWHotkeyConfiguration &configuration);
    const HotkeyHandler &hotkeyHandler() const { return m_hotkeyHandler; }

    // Everything after construction: the launch line, the dispatcher, the shortcuts, the first
    // refresh, then polling or, without credentials, the settings window.
    void launch();

    bool applyHotkeys(const FWKit::FWHotkeyConfiguration &configuration) override;
    Binder binder() const override { return m_services.binder; }
    QString desktopTrigger(FWKit::FWHotkeyAction action) const override;
    bool canConfigureInDesktop() const override;
    void configureInDesktop() override;

    // What a shortcut press does; the menu's entries call the same operations.
    void dispatch(FWKit::FWHotkeyAction action);
    // Starts a shrink and logs its outcome; returns at once.
    void startShrink() override;
    void newBatch() override;
    // The menu's user-initiated update check.
    void checkForUpdates() override;
    void requestSettings() override { emit settingsRequested(); }
    void requestPasteToggle() override { emit pasteToggleRequested(); }
    QCoro::Task<QStringList> pasteLanguages() override;
    const RecentLinks &recentLinks() const override { return m_recentLinks; }
    void copyRecent(const RecentLink &link) override;
    void clearRecent() override { m_recentLinks.clear(); }

signals:
    void settingsRequested();
    void pasteToggleRequested();

private:
    // Credentials complete: refresh and poll; otherwise the settings window asks for them.
    void startWithCredentials();
    void keyringUnlocked();
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
    RecentLinks m_recentLinks;

    QStringList m_languages;
    QList<FWKit::FWHotkeyRef> m_hotkeyRefs;
    FWKit::FWHotkeyConfiguration m_hotkeyConfiguration;
    HotkeyHandler m_hotkeyHandler;
    bool m_incompleteCredentials = false;
};

} // namespace Ferrowick
