#include "AppContainer.h"

#include "DebugLog.h"
#include "update/UpdateController.h"
#include "update/UpdaterActivation.h"

#include <FWKit/Credentials.h>
#include <FWKit/HTTPClient.h>
#include <FWKit/Outcomes.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace Ferrowick {

using namespace FWKit;

namespace {

bool missingOrEmpty(const std::optional<QString> &value)
{
    return !value || value->isEmpty();
}

// Fire-and-forget flows hold the container weakly: a task may outlive it at exit.
QCoro::Task<> shrinkTask(QPointer<AppContainer> container)
{
    const ShrinkOutcome outcome = co_await container->appModel().newShrink();
    DebugLog::note(u"newShrink outcome: "_s + outcome.debugDescription());
}

QCoro::Task<> launchRefresh(QPointer<AppContainer> container)
{
    co_await container->appModel().refreshBatches();
    if (container)
        co_await container->pasteLanguages();
}

} // namespace

AppContainer::AppContainer(AppServices services, QObject *parent)
    : AppContainer(std::move(services), QFileInfo(DebugLog::filePath()).path(), parent)
{
}

AppContainer::AppContainer(AppServices services, const QString &stateFolder, QObject *parent)
    : HotkeySettings(parent)
    , m_services(std::move(services))
    , m_hotkeyStore(m_services.preferences)
    , m_updaterActivation(std::make_unique<UpdaterActivation>())
    , m_updater(std::make_unique<UpdateController>(*m_services.transport, *m_updaterActivation,
          m_services.updatePrompt, m_services.browser, m_services.preferences,
          UpdateController::feedFromEnvironment(), QCoreApplication::applicationVersion(),
          m_services.automaticUpdateChecks))
    , m_store(m_services.keychain, serviceID)
    , m_hotkeys(m_services.hotkeys)
    , m_recentLinks(stateFolder)
{
    m_updater->start();
    // Before anything reads credentials.
    CredentialMigration::migrateIfNeeded(m_services.preferences, m_store);
    m_manager = std::make_unique<FWManager>(
        HTTPClient(m_services.transport, m_services.requestTimeout), m_store, m_services.urls);
    m_appModel = std::make_unique<AppModel>(
        *m_manager, m_store, m_services.pasteboard, m_services.notifier, m_services.browser);
    connect(m_appModel.get(), &AppModel::linkMade, this, [this](const MadeLink &made) {
        m_recentLinks.add(RecentLinks::entry(made, QDateTime::currentDateTimeUtc()));
    });
    m_hotkeyConfiguration = m_hotkeyStore.load();
    if (m_services.desktopShortcuts)
        connect(m_services.desktopShortcuts, &DesktopShortcuts::triggersChanged, this,
            &HotkeySettings::hotkeyConfigurationChanged);
    // The password is only read when there is a login.
    m_incompleteCredentials = missingOrEmpty(m_store.login()) || missingOrEmpty(m_store.password());
}

AppContainer::~AppContainer()
{
    m_hotkeys.unregister(m_hotkeyRefs);
}

void AppContainer::setLanguages(const QStringList &languages)
{
    m_languages = languages;
}

QCoro::Task<QStringList> AppContainer::pasteLanguages()
{
    if (m_languages.isEmpty()) {
        const QPointer<AppContainer> self(this);
        const std::optional<QList<QString>> loaded = co_await m_appModel->loadLanguages();
        if (!self)
            co_return {};
        if (loaded)
            setLanguages(*loaded);
    }
    // A copy: QCoro's co_return moves from a non-const lvalue, which would empty the kept list.
    co_return QStringList(m_languages);
}

void AppContainer::setHotkeyConfiguration(const FWHotkeyConfiguration &configuration)
{
    if (configuration == m_hotkeyConfiguration)
        return;
    m_hotkeyConfiguration = configuration;
    emit hotkeyConfigurationChanged();
}

void AppContainer::launch()
{
    DebugLog::note(
        u"launch: hasCredentials="_s + (m_incompleteCredentials ? u"false"_s : u"true"_s));
    m_hotkeyHandler = [this](FWHotkeyAction action) { dispatch(action); };
    // Where nothing binds keys for us, the user binds our commands instead.
    if (binder() != Binder::commands)
        m_hotkeyRefs = registerHotkeys(m_hotkeyConfiguration);
    // Nothing else tells the user why a shortcut does nothing.
    if (const auto bound = qsizetype(m_hotkeyConfiguration.combos.size());
        binder() != Binder::commands && m_hotkeyRefs.size() < bound)
        DebugLog::note(
            u"launch: %1 of %2 shortcuts could not be registered"_s.arg(bound - m_hotkeyRefs.size())
                .arg(bound));
    if (m_services.keyringLock && m_services.keyringLock->isLocked()) {
        // The desktop prompts for the keyring's password meanwhile; the credentials are there.
        DebugLog::note(u"launch: the keyring is locked; waiting for it to be unlocked"_s);
        connect(m_services.keyringLock, &KeyringLock::unlocked, this,
            &AppContainer::keyringUnlocked, Qt::SingleShotConnection);
        return;
    }
    startWithCredentials();
}

void AppContainer::startWithCredentials()
{
    launchRefresh(this);
    if (m_incompleteCredentials)
        emit settingsRequested();
    else
        m_appModel->startPolling(AppModel::pollingInterval);
}

void AppContainer::keyringUnlocked()
{
    // What the locked keyring hid at construction: legacy values to move, stored credentials.
    CredentialMigration::migrateIfNeeded(m_services.preferences, m_store);
    m_incompleteCredentials = missingOrEmpty(m_store.login()) || missingOrEmpty(m_store.password());
    DebugLog::note(u"keyring unlocked: hasCredentials="_s +
        (m_incompleteCredentials ? u"false"_s : u"true"_s));
    startWithCredentials();
}

QList<FWHotkeyRef> AppContainer::registerHotkeys(const FWHotkeyConfiguration &configuration)
{
    return m_hotkeys.registerHotkeys(
        configuration, [container = QPointer(this)](FWHotkeyAction action) {
            if (container && container->m_hotkeyHandler)
                container->m_hotkeyHandler(action);
        });
}

bool AppContainer::applyHotkeys(const FWHotkeyConfiguration &configuration)
{
    m_hotkeys.unregister(m_hotkeyRefs);
    const QList<FWHotkeyRef> refs = registerHotkeys(configuration);
    if (refs.size() != qsizetype(allHotkeyActions.size()))
        return rollBack(refs);
    if (const auto saved = m_hotkeyStore.save(configuration); !saved) {
        DebugLog::note(u"hotkeys: saving the configuration failed"_s);
        return rollBack(refs);
    }
    m_hotkeyRefs = refs;
    setHotkeyConfiguration(configuration);
    return true;
}

bool AppContainer::rollBack(const QList<FWHotkeyRef> &refused)
{
    m_hotkeys.unregister(refused);
    m_hotkeyRefs = registerHotkeys(m_hotkeyConfiguration);
    return false;
}

QString AppContainer::desktopTrigger(FWHotkeyAction action) const
{
    return m_services.desktopShortcuts ? m_services.desktopShortcuts->trigger(action) : QString();
}

bool AppContainer::canConfigureInDesktop() const
{
    return m_services.desktopShortcuts && m_services.desktopShortcuts->canConfigure();
}

void AppContainer::configureInDesktop()
{
    if (m_services.desktopShortcuts)
        m_services.desktopShortcuts->configure();
}

void AppContainer::checkForUpdates()
{
    m_updater->checkForUpdates();
}

void AppContainer::dispatch(FWHotkeyAction action)
{
    DebugLog::note(u"hotkey: "_s + QLatin1String(hotkeyActionName(action)));
    switch (action) {
    case FWHotkeyAction::newBatch:
        newBatch();
        break;
    case FWHotkeyAction::openFerrowick:
        m_appModel->openFerrowick();
        break;
    case FWHotkeyAction::togglePaste:
        emit pasteToggleRequested();
        break;
    case FWHotkeyAction::newShrink:
        startShrink();
        break;
    }
}

void AppContainer::newBatch()
{
    if (!m_appModel->newBatch())
        emit settingsRequested();
}

void AppContainer::copyRecent(const RecentLink &link)
{
    // Quietly, as a clipboard history does: the user picked the row and knows what it holds.
    DebugLog::note(u"menu: Recent"_s);
    m_services.pasteboard.setString(link.link);
}

void AppContainer::startShrink()
{
    if (!m_services.clipboardInBackground) {
        DebugLog::note(u"newShrink outcome: clipboard not readable in the background"_s);
        m_services.notifier.notify(NoticeCopy::title, NoticeCopy::clipboardUnreadable);
        return;
    }
    shrinkTask(this);
}

} // namespace Ferrowick
