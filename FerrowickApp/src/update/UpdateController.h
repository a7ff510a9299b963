#pragma once

#include "Appcast.h"
#include "WallClockTimer.h"

#include <FWKit/Desktop.h>
#include <FWKit/HTTPTransport.h>

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

namespace Ferrowick {

class UpdatePrompt;
class UpdateUserDriverDelegate;
enum class UpdateAnswer;
enum class UpdateChoice;

// Looks for a newer release in the update feed (an RSS appcast) and offers it. A session is one
// check and at most one answer shown by the prompt; the delegate hears before the answer and when
// the session ends. The user's checks always answer (up to date, new version, error); the daily
// background check speaks only when it finds a new version the user has not skipped. Main thread
// only.
class UpdateController final : public QObject
{
    Q_OBJECT

public:
    // Preference keys: the skipped version (UTF-8 bytes) and the time of the last check (ISO 8601
    // UTC, as bytes).
    static constexpr auto skippedVersionKey = "fwSkippedVersion";
    static constexpr auto lastCheckKey = "fwLastUpdateCheck";
    static constexpr std::chrono::minutes firstCheckDelay { 1 };
    static constexpr std::chrono::hours checkInterval { 24 };
    // After a feed that could not be fetched or read: an offline start tries again the same day.
    static constexpr std::chrono::hours retryDelay { 1 };
    static constexpr std::chrono::seconds fetchTimeout { 60 };

    // https://ferrowick.app/appcast.xml
    static QUrl productionFeed();
    // FERROWICK_UPDATE_FEED when it is an https URL with a host (tests and the demo), else the
    // production feed.
    static QUrl feedFromEnvironment();

    // The references must outlive the controller. Without automatic checks, start() schedules
    // nothing and only the user's checks run.
    UpdateController(FWKit::HTTPTransport &transport, UpdateUserDriverDelegate &delegate,
        UpdatePrompt &prompt, FWKit::BrowserLaunching &browser,
        FWKit::PreferencesStoring &preferences, QUrl feed, QString currentVersion,
        bool automaticChecks, QObject *parent = nullptr);

    // Schedules the background checks: the first a minute from now, or a day after the last
    // check when that is later; then daily, by the wall clock (a night's sleep counts), worked
    // out again when the clock is set. A check whose feed could not be fetched or read is not
    // stored; the next try is an hour later. Nothing is fetched at once.
    void start();

    // False while a session runs (a check in flight or its answer shown).
    bool canCheckForUpdates() const;

    // The user asks. While a session runs, its answer comes to the front instead (a background
    // check in flight will show its answer, whatever it is).
    void checkForUpdates();

    // What the daily timer runs; does nothing while a session runs.
    void checkInBackground();

    // Until the next background check; nullopt when none is scheduled.
    std::optional<std::chrono::milliseconds> timeUntilBackgroundCheck() const;

signals:
    void canCheckForUpdatesChanged(bool canCheck);

private:
    static QCoro::Task<> runSession(QPointer<UpdateController> self);
    void beginSession(bool userInitiated);
    void conclude(const std::expected<AppcastItem, FWKit::FWError> &newest);
    void showAnswer(UpdateAnswer answer, const AppcastItem &item = {});
    void chosen(UpdateChoice choice, const AppcastItem &item);
    void endSession();
    void scheduleBackgroundCheck();
    std::optional<QDateTime> lastCheck() const;

    FWKit::HTTPTransport &m_transport;
    UpdateUserDriverDelegate &m_delegate;
    UpdatePrompt &m_prompt;
    FWKit::BrowserLaunching &m_browser;
    FWKit::PreferencesStoring &m_preferences;
    const QUrl m_feed;
    const QString m_currentVersion;
    const bool m_automaticChecks;

    bool m_started = false;
    bool m_sessionActive = false;
    bool m_userInitiated = false;
    WallClockTimer m_backgroundTimer;
    // Set by a failed fetch: no background check before it.
    std::optional<QDateTime> m_retryAfter;
};

} // namespace Ferrowick
