#include "UpdateController.h"

#include "DebugLog.h"
#include "UpdatePrompt.h"

#include <FWKit/HTTPClient.h>
#include <FWKit/HTTPTransport.h>

using namespace Qt::StringLiterals;

namespace Ferrowick {

namespace {

QString forLog(const QUrl &url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

} // namespace

QUrl UpdateController::productionFeed()
{
    return QUrl(u"https://ferrowick.app/appcast.xml"_s);
}

QUrl UpdateController::feedFromEnvironment()
{
    const QString text = qEnvironmentVariable("FERROWICK_UPDATE_FEED");
    if (text.isEmpty())
        return productionFeed();
    const QUrl url(text, QUrl::StrictMode);
    if (!FWKit::isHttpsURL(url)) {
        DebugLog::note(u"update: FERROWICK_UPDATE_FEED is not an https URL; using the default"_s);
        return productionFeed();
    }
    return url;
}

UpdateController::UpdateController(FWKit::HTTPTransport &transport,
    UpdateUserDriverDelegate &delegate, UpdatePrompt &prompt, FWKit::BrowserLaunching &browser,
    FWKit::PreferencesStoring &preferences, QUrl feed, QString currentVersion, bool automaticChecks,
    QObject *parent)
    : QObject(parent)
    , m_transport(transport)
    , m_delegate(delegate)
    , m_prompt(prompt)
    , m_browser(browser)
    , m_preferences(preferences)
    , m_feed(std::move(feed))
    , m_currentVersion(std::move(currentVersion))
    , m_automaticChecks(automaticChecks)
{
    connect(
        &m_backgroundTimer, &WallClockTimer::timeout, this, &UpdateController::checkInBackground);
    connect(&m_backgroundTimer, &WallClockTimer::clockChanged, this,
        &UpdateController::scheduleBackgroundCheck);
}

void UpdateController::start()
{
    m_started = true;
    scheduleBackgroundCheck();
}

bool UpdateController::canCheckForUpdates() const
{
    return !m_sessionActive;
}

void UpdateController::checkForUpdates()
{
    if (!m_sessionActive)
        return beginSession(true);
    m_userInitiated = true;
    m_prompt.raise();
}

void UpdateController::checkInBackground()
{
    if (!m_sessionActive)
        beginSession(false);
}

std::optional<std::chrono::milliseconds> UpdateController::timeUntilBackgroundCheck() const
{
    if (!m_backgroundTimer.isActive())
        return std::nullopt;
    return std::chrono::milliseconds(
        std::max<qint64>(0, QDateTime::currentDateTimeUtc().msecsTo(m_backgroundTimer.deadline())));
}

void UpdateController::beginSession(bool userInitiated)
{
    m_sessionActive = true;
    m_userInitiated = userInitiated;
    DebugLog::note(u"update: checking "_s + forLog(m_feed) +
        (userInitiated ? u" (asked by the user)"_s : u" (in the background)"_s));
    QPointer self(this);
    emit canCheckForUpdatesChanged(false);
    if (self)
        runSession(self);
}

QCoro::Task<> UpdateController::runSession(QPointer<UpdateController> self)
{
    FWKit::HTTPRequest request { self->m_feed, "GET", {}, std::nullopt, fetchTimeout };
    auto sent = co_await self->m_transport.send(std::move(request));
    if (!self)
        co_return;
    const auto response = FWKit::HTTPClient::accepted(std::move(sent));
    if (!response)
        self->conclude(std::unexpected(response.error()));
    else
        self->conclude(newestAppcastItem(response->body));
}

void UpdateController::conclude(const std::expected<AppcastItem, FWKit::FWError> &newest)
{
    if (!newest) {
        DebugLog::note(u"update: the check failed: "_s + newest.error().debugDescription());
        m_retryAfter = QDateTime::currentDateTimeUtc().addSecs(
            std::chrono::duration_cast<std::chrono::seconds>(retryDelay).count());
        return m_userInitiated ? showAnswer(UpdateAnswer::error) : endSession();
    }
    m_retryAfter.reset();
    m_preferences.setData(QString::fromLatin1(lastCheckKey),
        QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toUtf8());
    m_preferences.sync();

    const auto order = compareVersions(newest->version, m_currentVersion);
    if (!order) {
        DebugLog::note(
            u"update: the running version \"%1\" cannot be compared"_s.arg(m_currentVersion));
        return m_userInitiated ? showAnswer(UpdateAnswer::error) : endSession();
    }
    if (*order != std::weak_ordering::greater) {
        DebugLog::note(u"update: up to date; the feed's newest is "_s + newest->version);
        return m_userInitiated ? showAnswer(UpdateAnswer::upToDate) : endSession();
    }
    DebugLog::note(u"update: version "_s + newest->version + u" is available"_s);
    if (!m_userInitiated) {
        const auto skipped = m_preferences.data(QString::fromLatin1(skippedVersionKey));
        const auto sinceSkipped =
            compareVersions(newest->version, QString::fromUtf8(skipped.value_or(QByteArray())));
        if (sinceSkipped && *sinceSkipped != std::weak_ordering::greater) {
            DebugLog::note(u"update: not offered, the user skipped "_s +
                QString::fromUtf8(skipped.value_or(QByteArray())));
            return endSession();
        }
    }
    showAnswer(UpdateAnswer::newVersion, *newest);
}

void UpdateController::showAnswer(UpdateAnswer answer, const AppcastItem &item)
{
    m_delegate.willShowModalAlert();
    m_prompt.show(
        answer, item, m_currentVersion, [self = QPointer(this), item](UpdateChoice choice) {
            if (self)
                self->chosen(choice, item);
        });
}

void UpdateController::chosen(UpdateChoice choice, const AppcastItem &item)
{
    if (choice == UpdateChoice::download) {
        if (item.downloadUrl.isEmpty()) {
            DebugLog::note(u"update: the feed gives no https link to download "_s + item.version);
        } else {
            DebugLog::note(u"update: opening "_s + forLog(item.downloadUrl));
            m_browser.open(item.downloadUrl);
        }
    } else if (choice == UpdateChoice::skip) {
        DebugLog::note(u"update: skipping "_s + item.version);
        m_preferences.setData(QString::fromLatin1(skippedVersionKey), item.version.toUtf8());
        m_preferences.sync();
    }
    endSession();
}

void UpdateController::endSession()
{
    m_sessionActive = false;
    m_userInitiated = false;
    scheduleBackgroundCheck();
    QPointer self(this);
    m_delegate.willFinishUpdateSession();
    if (self)
        emit canCheckForUpdatesChanged(true);
}

void UpdateController::scheduleBackgroundCheck()
{
    if (!m_automaticChecks || !m_started)
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto later = [&now](std::chrono::seconds delay) { return now.addSecs(delay.count()); };
    QDateTime due = later(firstCheckDelay);
    // A last check in the future means the clock was set back: start over.
    if (const auto last = lastCheck(); last && *last <= now)
        due = std::max(due, last->addSecs(std::chrono::seconds(checkInterval).count()));
    if (m_retryAfter)
        due = std::max(due, std::min(*m_retryAfter, later(retryDelay)));
    m_backgroundTimer.start(due);
}

std::optional<QDateTime> UpdateController::lastCheck() const
{
    const auto stored = m_preferences.data(QString::fromLatin1(lastCheckKey));
    if (!stored)
        return std::nullopt;
    const QDateTime time = QDateTime::fromString(QString::fromUtf8(*stored), Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

} // namespace Ferrowick
