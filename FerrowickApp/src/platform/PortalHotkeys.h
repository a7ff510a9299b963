#pragma once

#include "DesktopShortcuts.h"

#include <FWKit/FWHotkeys.h>

#include <QCoro/QCoroTask>
#include <QDBusConnection>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>

class QDBusMessage;
class QDBusServiceWatcher;

namespace Ferrowick {

// System-wide shortcuts through the desktop's GlobalShortcuts portal (Wayland desktops, where X
// grabs do nothing). We only suggest a key per action; the desktop decides, and may let the user
// change it in its own editor, so a registration never fails for a key that is taken. One portal
// session per process, made on the first registrations and bound again whenever the set of
// registered actions changes. Main thread only; the press callback runs on the main thread.
//
// Everything talks to the portal asynchronously; a portal that is missing or goes away leaves the
// registrations in place without presses, and the log says why. It must outlive the portal's
// answers it waits for: destroyed earlier, those waits are dropped, never resumed.
class PortalHotkeys final : public DesktopShortcuts, public FWKit::HotkeyBackend
{
    Q_OBJECT

public:
    explicit PortalHotkeys(
        QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~PortalHotkeys() override;
    PortalHotkeys(const PortalHotkeys &) = delete;
    PortalHotkeys &operator=(const PortalHotkeys &) = delete;

    // The version of the GlobalShortcuts interface the portal offers; 0 when it offers none or
    // does not answer within a second. Blocks for that round trip: for the choice of back-end at
    // start-up.
    static int availableVersion(QDBusConnection bus = QDBusConnection::sessionBus());

    void installEventHandler(PressCallback callback) override;
    // Accepted for any action (1 to 4) not registered yet, whether or not the desktop binds a key
    // for it. Registrations made in one event-loop turn go to the portal in one bind.
    std::optional<FWKit::FWHotkeyRef> registerHotkey(
        const FWKit::FWHotkeyDescriptor &descriptor) override;
    // The action's presses are ignored from now on; the desktop keeps its key until the next
    // bind.
    void unregisterHotkey(FWKit::FWHotkeyRef ref) override;

    QString trigger(FWKit::FWHotkeyAction action) const override;
    // From version 2 of the interface on; false until the portal has told its version.
    bool canConfigure() const override;
    void configure() override;

private slots:
    void activated(const QDBusMessage &message);
    void deactivated(const QDBusMessage &message);
    void shortcutsChanged(const QDBusMessage &message);
    void portalVanished();
    void portalAppeared();

private:
    // The trigger we suggest for each registered action (empty: none); what a bind sends.
    using Wanted = std::map<FWKit::FWHotkeyAction, QString>;

    struct Press
    {
        // The portal's timestamp of the last press, in ms: the desktop's clock, so a busy event
        // loop here cannot stretch a key's repeats apart.
        std::optional<qulonglong> last;
        bool held = false;
    };

    static QCoro::Task<> bind(QPointer<PortalHotkeys> self);
    static QCoro::Task<bool> bindOnce(QPointer<PortalHotkeys> self, Wanted wanted);
    static QCoro::Task<bool> prepare(QPointer<PortalHotkeys> self);
    static QCoro::Task<> configureNow(QPointer<PortalHotkeys> self);

    void scheduleBind();
    Wanted wanted() const;
    std::optional<FWKit::FWHotkeyAction> registeredAction(const QString &shortcutId) const;
    // complete: the list names every shortcut bound, so a missing one has no key now.
    void takeTriggers(const QVariant &shortcuts, bool complete);
    void dropSession();

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher = nullptr;
    PressCallback m_callback;
    std::uint64_t m_lastRef = 0;
    std::map<std::uint64_t, FWKit::FWHotkeyDescriptor> m_registrations;

    bool m_bindScheduled = false;
    bool m_binding = false;
    bool m_bindAgain = false;
    // Register and the version are asked once per portal instance.
    bool m_prepared = false;
    int m_version = 0;
    QString m_session; // object path; empty while there is none
    std::optional<Wanted> m_bound;
    std::map<FWKit::FWHotkeyAction, QString> m_triggers;
    std::map<FWKit::FWHotkeyAction, Press> m_presses;
    // Whether this portal reports releases; one that does not gets a time-based repeat filter.
    bool m_releasesSeen = false;
};

} // namespace Ferrowick
