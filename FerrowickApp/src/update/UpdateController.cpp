#include "UpdateController.h"

#include "AppActivation.h"
#include "DebugLog.h"
#include "UpdateUserDriverDelegate.h"

#include <FWKit/HTTPClient.h>
#include <FWKit/HTTPTransport.h>

#include <QMessageBox>
#include <QPushButton>
#include <QTextDocumentFragment>

using namespace Qt::StringLiterals;

namespace Ferrowick {

namespace {

QString forLog(const QUrl &url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

// What the feed says about the release, as plain text for the dialog's details.
QString releaseNotes(const AppcastItem &item)
{
    QString notes = Qt::mightBeRichText(item.description)
        ? QTextDocumentFragment::fromHtml(item.description).toPlainText().trimmed()
        : item.description;
    if (!item.releaseNotesUrl.isEmpty()) {
        if (!notes.isEmpty())
            notes += u"\n\n"_s;
        notes += u"Release notes: "_s + item.releaseNotesUrl.toString(QUrl::FullyEncoded);
    }
    return notes;
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
    UpdateUserDriverDelegate &delegate, FWKit::BrowserLaunching &browser,
    FWKit::PreferencesStoring &preferences, QUrl feed, QString currentVersion, bool automaticChecks,
    QObject *parent)
    : QObject(parent)
    , m_transport(transport)
    , m_delegate(delegate)
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

UpdateController::~UpdateController()
{
    if (m_dialog) {
        m_dialog->disconnect(this);
        delete m_dialog;
    }
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
    if (m_dialog)
        AppActivation::activate(m_dialog);
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
        return m_userInitiated ? showDialog(Answer::Error) : endSession();
    }
    m_retryAfter.reset();
    m_preferences.setData(QString::fromLatin1(lastCheckKey),
        QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toUtf8());
    m_preferences.sync();

    const auto order = compareVersions(newest->version, m_currentVersion);
    if (!order) {
        DebugLog::note(
            u"update: the running version \"%1\" cannot be compared"_s.arg(m_currentVersion));
        return m_userInitiated ? showDialog(Answer::Error) : endSession();
    }
    if (*order != std::weak_ordering::greater) {
        DebugLog::note(u"update: up to date; the feed's newest is "_s + newest->version);
        return m_userInitiated ? showDialog(Answer::UpToDate) : endSession();
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
    showDialog(Answer::NewVersion, *newest);
}

void UpdateController::showDialog(Answer answer, const AppcastItem &item)
{
    m_delegate.willShowModalAlert();

    auto *dialog = new QMessageBox;
    dialog->setWindowTitle(u"Software Update"_s);
    dialog->setWindowModality(Qt::ApplicationModal);
    switch (answer) {
    case Answer::UpToDate:
        dialog->setObjectName(u"updateUpToDate"_s);
        dialog->setIcon(QMessageBox::Information);
        dialog->setText(u"You're up to date!"_s);
        dialog->setInformativeText(
            u"Ferrowick %1 is currently the newest version available."_s.arg(m_currentVersion));
        dialog->setDefaultButton(dialog->addButton(u"OK"_s, QMessageBox::AcceptRole));
        break;
    case Answer::Error:
        dialog->setObjectName(u"updateError"_s);
        dialog->setIcon(QMessageBox::Warning);
        dialog->setText(u"Update Error!"_s);
        dialog->setInformativeText(u"An error occurred in retrieving update information. "
                                   u"Please try again later."_s);
        dialog->setDefaultButton(dialog->addButton(u"OK"_s, QMessageBox::AcceptRole));
        break;
    case Answer::NewVersion: {
        dialog->setObjectName(u"updateAvailable"_s);
        dialog->setIcon(QMessageBox::Information);
        dialog->setText(u"A new version of Ferrowick is available!"_s);
        dialog->setInformativeText(
            u"Ferrowick %1 is now available—you have %2. Would you like to download it now?"_s.arg(
                item.displayVersion(), m_currentVersion));
        dialog->setDetailedText(releaseNotes(item));
        QPushButton *download = dialog->addButton(u"Download"_s, QMessageBox::AcceptRole);
        download->setObjectName(u"download"_s);
        dialog->addButton(u"Skip This Version"_s, QMessageBox::DestructiveRole)
            ->setObjectName(u"skip"_s);
        QPushButton *later = dialog->addButton(u"Remind Me Later"_s, QMessageBox::RejectRole);
        later->setObjectName(u"later"_s);
        dialog->setDefaultButton(download);
        dialog->setEscapeButton(later);
        break;
    }
    }
    m_dialog = dialog;
    connect(dialog, &QDialog::finished, this,
        [this, dialog, answer, item] { dialogFinished(dialog, answer, item); });
    dialog->show();
    AppActivation::activate(dialog);
}

void UpdateController::dialogFinished(QMessageBox *dialog, Answer answer, const AppcastItem &item)
{
    if (m_dialog == dialog)
        m_dialog = nullptr;
    dialog->deleteLater();
    const QAbstractButton *clicked = dialog->clickedButton();
    const QString choice = clicked ? clicked->objectName() : QString();
    if (answer == Answer::NewVersion && choice == u"download"_s) {
        if (item.downloadUrl.isEmpty()) {
            DebugLog::note(u"update: the feed gives no https link to download "_s + item.version);
        } else {
            DebugLog::note(u"update: opening "_s + forLog(item.downloadUrl));
            m_browser.open(item.downloadUrl);
        }
    } else if (answer == Answer::NewVersion && choice == u"skip"_s) {
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
