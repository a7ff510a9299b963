#include <FWKit/AppModel.h>
#include <FWKit/Clipboard.h>
#include <FWKit/Outcomes.h>

#include <QUrl>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace FWKit {

namespace {

const QString siteDomain = u"ferrowick.app"_s;

// Truncated to whole nanoseconds before rounding up to milliseconds, so that the noise of a double
// (2.007 s * 1000 is 2007.0000000000002) does not add a millisecond.
int pollingMilliseconds(std::chrono::duration<double> interval)
{
    const double seconds = interval.count();
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    const double milliseconds = std::ceil(std::trunc(seconds * 1e9) / 1e6);
    constexpr int most = std::numeric_limits<int>::max();
    return milliseconds >= most ? most : static_cast<int>(milliseconds);
}

// The user's own page, "https://<login>.ferrowick.app/<subPath>". The login goes into the host
// as typed, so a '/', '?', '#', '@' or '.' in it would take the browser to another host or a
// deeper subdomain: the parsed host must be exactly the login as one label over the site's domain.
std::optional<QUrl> userPage(const QString &login, const QString &subPath)
{
    const QString suffix = QLatin1Char('.') + siteDomain;
    const QUrl url(u"https://"_s + login + suffix + QLatin1Char('/') + subPath, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    // Compared in the ASCII form, as Qt normalises it (case, IDNA).
    const QString host = url.host(QUrl::FullyEncoded);
    if (!host.endsWith(suffix))
        return std::nullopt;
    const QString label = host.chopped(suffix.size());
    if (label.isEmpty() || label.contains(QLatin1Char('.')) ||
        label != QString::fromLatin1(QUrl::toAce(login)))
        return std::nullopt;
    return url;
}

// An answer "carries" a link only when it has a non-empty one: copying an empty string would wipe
// the clipboard and announce a link that does not exist.
template<typename Result>
std::optional<QString> noticeURL(const Result &answer)
{
    if (!answer.isNotice() || !answer.url || answer.url->isEmpty())
        return std::nullopt;
    return answer.url;
}

} // namespace

AppModel::AppModel(FWManaging &manager, CredentialStoring &credentials,
    PasteboardReading &pasteboard, Notifying &notifier, BrowserLaunching &browser, QObject *parent)
    : QObject(parent)
    , m_manager(manager)
    , m_credentials(credentials)
    , m_pasteboard(pasteboard)
    , m_notifier(notifier)
    , m_browser(browser)
{
    // Precise: a coarse timer may fire up to 5% early, and a poll never comes before its interval.
    m_pollTimer.setSingleShot(true);
    m_pollTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pollTimer, &QTimer::timeout, this, [this] { pollPass(this, m_pollGeneration); });
}

void AppModel::setBatches(QList<Batch> batches)
{
    const bool changed = batches != m_batches;
    m_batches = std::move(batches);
    // Last: a receiver may destroy the model.
    if (changed)
        emit batchesChanged();
}

void AppModel::notice(const QString &body)
{
    m_notifier.notify(NoticeCopy::title, body);
}

QCoro::Task<bool> AppModel::isLoginDefined()
{
    return m_manager.isLoginDefined();
}

QCoro::Task<> AppModel::refreshBatches()
{
    const QPointer<AppModel> self(this);
    const bool loggedIn = co_await m_manager.isLoginDefined();
    if (!self || !loggedIn)
        co_return;
    auto fetched = co_await m_manager.batches();
    if (!self || !fetched)
        co_return;
    setBatches(std::move(*fetched));
}

void AppModel::startPolling(std::chrono::duration<double> interval)
{
    stopPolling();
    m_pollTimer.start(pollingMilliseconds(interval));
}

void AppModel::stopPolling()
{
    ++m_pollGeneration;
    m_pollTimer.stop();
}

QCoro::Task<> AppModel::pollPass(QPointer<AppModel> self, std::uint64_t generation)
{
    co_await self->refreshBatches();
    // A stop, a restart or the model's end during the refresh ends this loop here (the refresh
    // may still have assigned its result).
    if (self && self->m_pollGeneration == generation)
        self->m_pollTimer.start();
}

QCoro::Task<ShrinkOutcome> AppModel::newShrink()
{
    const QPointer<AppModel> self(this);
    const std::optional<QString> link = Clipboard::validatedURLString(m_pasteboard.string());
    if (!link) {
        notice(NoticeCopy::invalidURL);
        co_return ShrinkOutcome::invalidClipboard();
    }

    const auto answer = co_await m_manager.shrink(*link);
    if (!self)
        co_return ShrinkOutcome::failed(NoticeCopy::apiIssue);
    const std::optional<QString> url = answer ? noticeURL(*answer) : std::nullopt;
    if (!url) {
        notice(NoticeCopy::apiIssue);
        co_return ShrinkOutcome::failed(NoticeCopy::apiIssue);
    }
    m_pasteboard.setString(*url);
    m_notifier.notifyLink(
        NoticeCopy::title, NoticeCopy::formatted(NoticeCopy::shrinkCopied, *url), QUrl(*url));
    // Last: a receiver may destroy the model.
    emit linkMade({ MadeLink::Kind::shrink, *url, *link, {} });
    co_return ShrinkOutcome::copied(*url);
}

QCoro::Task<PasteOutcome> AppModel::submitPaste(QString text, std::optional<QString> language)
{
    const QPointer<AppModel> self(this);
    const bool loggedIn = co_await m_manager.isLoginDefined();
    if (!self)
        co_return PasteOutcome::failed(NoticeCopy::apiIssue);
    if (!loggedIn)
        co_return PasteOutcome::needsLogin();
    if (text.trimmed().isEmpty() || !language || language->isEmpty())
        co_return PasteOutcome::failed(NoticeCopy::missingFields);

    const auto answer = co_await m_manager.paste(text, *language);
    if (!self || !answer)
        co_return PasteOutcome::failed(NoticeCopy::apiIssue);
    const std::optional<QString> url = noticeURL(*answer);
    if (!url)
        co_return PasteOutcome::failed(answer->result.value_or(NoticeCopy::apiIssue));
    m_pasteboard.setString(*url);
    m_notifier.notifyLink(
        NoticeCopy::title, NoticeCopy::formatted(NoticeCopy::pasteCopied, *url), QUrl(*url));
    emit linkMade({ MadeLink::Kind::paste, *url, text, *language });
    co_return PasteOutcome::copied(*url);
}

SettingsOutcome AppModel::saveCredentials(const QString &login, const QString &password)
{
    if (login.isEmpty() || password.isEmpty())
        return SettingsOutcome::missingFields();
    // Both writes, always, in this order: one failing must not leave the other unattempted.
    const bool loginStored = m_credentials.setLogin(login);
    const bool passwordStored = m_credentials.setPassword(password);
    if (!loginStored || !passwordStored)
        return SettingsOutcome::saveFailed();
    notice(NoticeCopy::formatted(NoticeCopy::prefsSaved, login));
    return SettingsOutcome::saved(login);
}

SettingsOutcome AppModel::signIn(const QString &login, const QString &password)
{
    SettingsOutcome outcome = saveCredentials(login, password);
    if (outcome.kind() == SettingsOutcome::Kind::saved) {
        startPolling(pollingInterval);
        refreshBatches();
    }
    return outcome;
}

QCoro::Task<std::optional<QList<QString>>> AppModel::loadLanguages()
{
    auto languages = co_await m_manager.validPasteLanguages();
    if (!languages)
        co_return std::nullopt;
    co_return std::move(*languages);
}

bool AppModel::openUserPage(const QString &subPath)
{
    const std::optional<QString> login = m_credentials.login();
    if (!login || login->isEmpty())
        return false;
    const std::optional<QUrl> url = userPage(*login, subPath);
    if (!url)
        return false;
    // Whether a page really opens is the browser's business; the model has asked.
    m_browser.open(*url);
    return true;
}

bool AppModel::newBatch()
{
    return openUserPage(u"upload"_s);
}

bool AppModel::openBatch(const Batch &batch)
{
    return openUserPage(batch.batch);
}

void AppModel::openFerrowick()
{
    const QUrl site(u"https://"_s + siteDomain + QLatin1Char('/'), QUrl::StrictMode);
    if (site.isValid())
        m_browser.open(site);
}

} // namespace FWKit
