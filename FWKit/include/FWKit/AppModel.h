#pragma once

#include <FWKit/Credentials.h>
#include <FWKit/Desktop.h>
#include <FWKit/FWManager.h>
#include <FWKit/Outcomes.h>
#include <FWKit/Records.h>

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <optional>

namespace FWKit {

// A link the model has just made and copied: a short link, whose source is the long link it
// shortens, or a paste's URL, whose source is the pasted text in that language.
struct MadeLink
{
    enum class Kind { shrink, paste };

    Kind kind = Kind::shrink;
    QString link;
    QString source;
    QString language;

    bool operator==(const MadeLink &) const = default;
};

// Runs every user action against the services and turns the results into outcomes, clipboard
// writes and notices; holds the user's batches and keeps them fresh by polling.
//
// Main thread only. The collaborators are borrowed and must outlive the model. Several flows may
// be in flight at once; each one that waits re-checks the model afterwards, so destroying the model
// mid-flow is safe: the flow then ends with its failure outcome and touches nothing.
class AppModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<FWKit::Batch> batches READ batches NOTIFY batchesChanged)

public:
    // How often the batches are refreshed while credentials are stored.
    static constexpr std::chrono::seconds pollingInterval { 300 };

    AppModel(FWManaging &manager, CredentialStoring &credentials, PasteboardReading &pasteboard,
        Notifying &notifier, BrowserLaunching &browser, QObject *parent = nullptr);

    // In the order the service returned them; only a successful fetch changes the list.
    const QList<Batch> &batches() const { return m_batches; }

    QCoro::Task<bool> isLoginDefined();
    // Fetches the batches when a login is defined. Failures keep the current list.
    QCoro::Task<> refreshBatches();

    // Refreshes one interval after the call, then one interval after each refresh has finished,
    // until stopPolling() or destruction. A restart replaces the running loop. The interval is
    // rounded up to whole milliseconds; a negative or non-finite one counts as 0.
    // Capped at what a QTimer holds: INT_MAX ms, about 24.8 days.
    void startPolling(std::chrono::duration<double> interval);
    void stopPolling();

    // Shortens the web link on the clipboard; posts a notice on every path.
    QCoro::Task<ShrinkOutcome> newShrink();
    // The text is sent as given; a notice is posted only on success.
    QCoro::Task<PasteOutcome> submitPaste(QString text, std::optional<QString> language);
    // Stores both values, each write attempted even if the other fails.
    SettingsOutcome saveCredentials(const QString &login, const QString &password);
    // saveCredentials(); once saved, polling starts again from now and the batches are refreshed
    // at once, without waiting for them.
    SettingsOutcome signIn(const QString &login, const QString &password);
    // Nothing when the service fails; the model keeps no copy.
    QCoro::Task<std::optional<QList<QString>>> loadLanguages();

    // Open the user's own pages. False, with nothing opened, when no login is stored or the login
    // would not make the page's host exactly "<login>.ferrowick.app".
    bool newBatch();
    bool openBatch(const Batch &batch);
    void openFerrowick();

signals:
    void batchesChanged();
    // After the link is on the clipboard and its notice is posted.
    void linkMade(const FWKit::MadeLink &made);

private:
    void setBatches(QList<Batch> batches);
    void notice(const QString &body);
    bool openUserPage(const QString &subPath);

    static QCoro::Task<> pollPass(QPointer<AppModel> self, std::uint64_t generation);

    FWManaging &m_manager;
    CredentialStoring &m_credentials;
    PasteboardReading &m_pasteboard;
    Notifying &m_notifier;
    BrowserLaunching &m_browser;

    QList<Batch> m_batches;

    // Polling is a single-shot timer re-armed after each refresh, so it dies with the model.
    // Each start or stop begins a new generation; a pass of an older one never re-arms.
    QTimer m_pollTimer;
    std::uint64_t m_pollGeneration = 0;
};

} // namespace FWKit
