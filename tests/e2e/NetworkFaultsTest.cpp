#include "E2E.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QUrl>

using namespace E2E;
using FWTest::Misbehaviour;
using FWTest::ProviderCertificate;

namespace {

const QString shrinkKeys = u"ctrl+alt+shift+s"_s;
const QString shrinkPath = u"/api/shrink"_s;
const QString outcomePrefix = u"newShrink outcome: "_s;
const QString apiIssue = u"There was an issue contacting the API"_s;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool underAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool underAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool underAddressSanitizer = false;
#endif

// What listens where the program sends its requests.
enum class Server {
    None, // the port is closed
    Trusted,
    WrongHost, // a certificate the program trusts, for another host
    Untrusted, // a certificate for 127.0.0.1 from an authority the program does not know
};

// Resident memory of a process in KiB, from /proc; -1 if it cannot be read.
qint64 residentKiB(qint64 pid)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLongLong();
    }
    return -1;
}

std::optional<QList<Notice>> waitForNotices(qsizetype count, int limitMs = patienceMs)
{
    std::optional<QList<Notice>> shown;
    if (!QTest::qWaitFor([&] { return (shown = notices()) && shown->size() >= count; }, limitMs))
        return std::nullopt;
    return shown;
}

QList<QByteArray> shrinkBodies(FWTest::FakeProviderProcess &provider)
{
    QList<QByteArray> bodies;
    for (const FWTest::RecordedRequest &request : provider.requests()) {
        if (request.path == shrinkPath)
            bodies << request.body;
    }
    return bodies;
}

} // namespace

Q_DECLARE_METATYPE(Server)
Q_DECLARE_METATYPE(FWTest::Misbehaviour)

// The shrink shortcut while the provider fails in every way a network can: each press ends in
// one failure outcome and one notice, the clipboard keeps the user's link, and the same program
// shrinks again once the provider is back. The program's service URLs are fixed at its start, so
// the faulty servers take turns on the provider's own port.
class NetworkFaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!inHarness())
            QSKIP("only in the headless harness: never the user's clipboard or display");
        // Only their certificates are needed; a stopped provider keeps its files.
        QVERIFY(m_trusted.start());
        QVERIFY(m_wrongHost.start({ .certificate = ProviderCertificate::WrongHost }));
        QVERIFY(m_stranger.start());
        QVERIFY(m_trusted.stop() && m_wrongHost.stop() && m_stranger.stop());
        QVERIFY(serve(Server::Trusted));

        // Both the provider's authority and the wrong host's; the stranger's is not there.
        QFile authorities(m_folder.filePath(u"authorities.pem"_s));
        QVERIFY(authorities.open(QIODevice::WriteOnly));
        for (const QString &ca : { m_trusted.caFile(), m_wrongHost.caFile() }) {
            QFile file(ca);
            QVERIFY(file.open(QIODevice::ReadOnly));
            authorities.write(file.readAll());
        }
        authorities.close();

        QVERIFY(startApp(1500));
    }

    void cleanupTestCase()
    {
        if (m_app)
            QVERIFY(m_app->stop());
    }

    void faultEndsInANotice_data()
    {
        QTest::addColumn<Server>("server");
        QTest::addColumn<Misbehaviour>("answer"); // no path: the usual one
        QTest::addColumn<bool>("reaches"); // the request reaches the provider's service

        QTest::newRow("connection refused") << Server::None << Misbehaviour {} << false;
        // Past the waits of this test: a missing timeout fails it instead of seeing the answer.
        QTest::newRow("answer after the timeout")
            << Server::Trusted << Misbehaviour { .path = shrinkPath, .delay = 10min } << true;
        QTest::newRow("certificate for another host")
            << Server::WrongHost << Misbehaviour {} << false;
        QTest::newRow("certificate of an unknown authority")
            << Server::Untrusted << Misbehaviour {} << false;
    }
    void faultEndsInANotice()
    {
        QFETCH(Server, server);
        QFETCH(Misbehaviour, answer);
        QFETCH(bool, reaches);
        QVERIFY(serve(server));
        if (!answer.path.isEmpty())
            QVERIFY(m_provider.misbehave(answer));
        QVERIFY(clearNotices());
        const QByteArray link = "https://example.com/fault?case=" +
            QUrl::toPercentEncoding(QString::fromLatin1(QTest::currentDataTag()));
        ClipboardOwner owner;
        QVERIFY(owner.set(link));

        QCOMPARE(pressShrink(), u"failed(message: "_s + apiIssue + u')');
        QCOMPARE(clipboard(), link);
        std::optional<QList<Notice>> shown = waitForNotices(1);
        QVERIFY(shown);
        QCOMPARE(*shown, (QList { Notice { u"Notice"_s, apiIssue } }));
        if (server != Server::None) {
            QCOMPARE(shrinkBodies(m_provider).size(), reaches ? 1 : 0);
            if (!reaches)
                QCOMPARE(m_provider.requests().size(), 0);
        }

        // The provider is back, and the same press works.
        QVERIFY(serve(Server::Trusted));
        const QString shortLink = shrinkSucceeds();
        QVERIFY(!shortLink.isEmpty());
        QVERIFY(shown = waitForNotices(2));
        QCOMPARE(*shown,
            (QList { Notice { u"Notice"_s, apiIssue },
                Notice { u"Notice"_s,
                    u"The url has been copied to your clipboard\n\n"_s + shortLink } }));
        QCOMPARE(m_app->process().state(), QProcess::Running);
    }

    // Presses faster than the provider answers: each ends in exactly one outcome and one notice,
    // and memory does not grow from one burst to the next.
    void burstOfPresses()
    {
        // Queued requests count against the transfer timeout, so this program waits the usual
        // minute.
        QVERIFY(m_app->stop());
        QVERIFY(serve(Server::Trusted));
        QVERIFY(startApp(0));
        ClipboardOwner owner;
        QVERIFY(owner.set("https://example.com/burst"));
        // Six connections at a time, a tenth of a second each: nearly all presses wait at once.
        QVERIFY(m_provider.misbehave({ .path = shrinkPath, .count = 0, .delay = 100ms }));

        // The first burst's peak (some 20 KiB for each waiting request) stays with the
        // allocator, so the baseline comes after it; a leak grows with every burst. Under
        // AddressSanitizer freed memory sits in quarantine, and its leak check at the exit is the
        // sharper test: one burst there.
        const qint64 pid = m_app->process().processId();
        QList<qint64> resident { residentKiB(pid) };
        for (int burst = 0; burst < (underAddressSanitizer ? 1 : 2); ++burst) {
            pressAndSettle(500);
            if (QTest::currentTestFailed())
                return;
            resident << residentKiB(pid);
        }
        QStringList readings;
        for (const qint64 kib : resident)
            readings << QString::number(kib);
        qInfo("VmRSS in KiB before and after each burst: %s", qPrintable(readings.join(u", "_s)));

        QVERIFY(m_provider.reset());
        QVERIFY(!shrinkSucceeds().isEmpty());
        if (!underAddressSanitizer) {
            QCOMPARE_GT(resident.constFirst(), 0);
            // Seen between bursts: under 1.5 MiB, up to 4.5 MiB when the first came slowly (a
            // lower peak). 8 MiB is 16 KiB a press, less than a waiting request holds.
            QCOMPARE_LT(resident[2] - resident[1], 8 * 1024);
        }
    }

private:
    // Starts the program afresh; a timeout of 0 leaves the usual one.
    bool startApp(int timeoutMs)
    {
        if (!resetDesktop() || !storeCredentials(u"demo"_s, u"demo-password-1"_s))
            return false;
        m_app = std::make_unique<App>(m_provider);
        m_app->setEnvironmentVariable(
            u"FERROWICK_CA_FILE"_s, m_folder.filePath(u"authorities.pem"_s));
        if (timeoutMs > 0)
            m_app->setEnvironmentVariable(
                u"FERROWICK_HTTP_TIMEOUT_MS"_s, QString::number(timeoutMs));
        return m_app->start();
    }

    // Puts that server on the provider's port; a running trusted one is only reset.
    bool serve(Server server)
    {
        if (server == m_served && m_provider.isRunning())
            return m_provider.reset();
        const quint16 port = quint16(m_provider.origin().port(0));
        if (m_provider.isRunning() && !m_provider.stop())
            return false;
        m_served = server;
        FWTest::ProviderOptions options { .accounts = { { u"demo"_s, u"demo-password-1"_s, {} } },
            .port = port };
        switch (server) {
        case Server::None:
            return true;
        case Server::Trusted:
            options.certificateFiles = m_trusted.certificateFiles();
            break;
        case Server::WrongHost:
            options.certificate = ProviderCertificate::WrongHost;
            options.certificateFiles = m_wrongHost.certificateFiles();
            break;
        case Server::Untrusted:
            options.certificateFiles = m_stranger.certificateFiles();
            break;
        }
        return m_provider.start(options);
    }

    // Presses the shrink shortcut as fast as the X server takes it, and waits until each press
    // has ended in one outcome and one notice.
    void pressAndSettle(int presses)
    {
        QVERIFY(clearNotices());
        const QString pressed = u"hotkey: newShrink"_s;
        const qsizetype hotkeys = messagesStartingWith(pressed).size();
        const qsizetype outcomes = messagesStartingWith(outcomePrefix).size();
        QStringList keys { u"key"_s, u"--delay"_s, u"0"_s };
        for (int i = 0; i < presses; ++i)
            keys << shrinkKeys;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(run(u"xdotool"_s, keys).ok);
        const qint64 pressingMs = clock.elapsed();

        // Several times slower under the sanitizers.
        constexpr int settleMs = 120'000;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         return messagesStartingWith(pressed).size() == hotkeys + presses &&
                             messagesStartingWith(outcomePrefix).size() == outcomes + presses;
                     },
                     settleMs),
            logDump());
        const qint64 settledMs = clock.elapsed();
        const QStringList ended = messagesStartingWith(outcomePrefix).sliced(outcomes);
        QCOMPARE(ended.filter(u"newShrink outcome: copied(url: "_s).size(), presses);
        const std::optional<QList<Notice>> shown = waitForNotices(presses, settleMs);
        QVERIFY(shown);
        QCOMPARE(shown->size(), presses);
        qInfo(
            "%d presses sent in %lld ms, all ended after %lld ms", presses, pressingMs, settledMs);
    }

    // The next outcome of a press, without its prefix; empty when none came.
    QString pressShrink()
    {
        const qsizetype before = messagesStartingWith(outcomePrefix).size();
        if (!pressKeys({ shrinkKeys }) || !waitForLog(outcomePrefix, before + 1)) {
            qWarning("%s", logDump().constData());
            return {};
        }
        return messagesStartingWith(outcomePrefix).at(before).sliced(outcomePrefix.size());
    }

    // A press that shortens the link on the clipboard: the short link, or empty (with a warning).
    QString shrinkSucceeds()
    {
        const QString copied = u"copied(url: "_s;
        const QString outcome = pressShrink();
        const QString shortLink = outcome.startsWith(copied) && outcome.endsWith(u')')
            ? outcome.sliced(copied.size()).chopped(1)
            : QString();
        if (!shortLink.startsWith(m_provider.origin().toString() + u"/s/"_s)) {
            qWarning("not shortened: %s", qPrintable(outcome));
            return {};
        }
        if (!QTest::qWaitFor([&] { return clipboard() == shortLink.toUtf8(); }, patienceMs)) {
            qWarning("the short link is not on the clipboard");
            return {};
        }
        return shortLink;
    }

    QTemporaryDir m_folder;
    // Certificates only.
    FWTest::FakeProviderProcess m_trusted;
    FWTest::FakeProviderProcess m_wrongHost;
    FWTest::FakeProviderProcess m_stranger;
    // Where the program's requests go.
    FWTest::FakeProviderProcess m_provider;
    Server m_served = Server::None;
    // Plain http, which the program must never reach.
    std::unique_ptr<App> m_app;
};

QTEST_GUILESS_MAIN(NetworkFaultsTest)
#include "NetworkFaultsTest.moc"
