// Runs the application's own objects in-process for what the user interface would take hours
// to repeat:
//
//   bench-driver paste --checkpoints 1000,10000 --expect PREFIX
//       the container over the real desktop services (keyring, clipboard, notifications,
//       network), the paste panel's controller and its forms: each round opens the panel with a
//       fresh form, puts text in it, submits through PasteForm -> AppModel -> FWManager -> the
//       network transport to the provider, waits for the result sheet, dismisses it and waits for
//       the panel to hide. Only the fade is shortened to nothing. At each checkpoint it prints the
//       process's RSS and PSS.
//
//   bench-driver roundtrip --count N --url URL --link LINK --samples FILE
//       the application's network transport alone: N shrink requests on one kept-alive
//       connection, one time per line in FILE (the first, with the TLS handshake, left out).

#include "AppContainer.h"
#include "DesktopServices.h"
#include "ui/PasteForm.h"
#include "ui/PastePanel.h"
#include "ui/PastePanelController.h"

#include <FWKit/HTTPClient.h>
#include <FWKit/NetworkTransport.h>

#include <QApplication>
#include <QClipboard>
#include <QCoro/QCoroTask>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QPlainTextEdit>
#include <QPropertyAnimation>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;

using namespace Ferrowick;

namespace {

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "bench-driver: %s\n", qPrintable(message));
    std::exit(2);
}

// Runs the event loop until the condition holds, looking every millisecond; false after 30 s.
bool waitFor(const std::function<bool()> &condition)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    const QDeadlineTimer deadline(30'000);
    bool held = false;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        held = condition();
        if (held || deadline.hasExpired())
            loop.quit();
    });
    check.start(1);
    loop.exec();
    return held;
}

// "Rss" and "Pss" of /proc/self/smaps_rollup, in kB.
QString memory()
{
    QFile rollup(u"/proc/self/smaps_rollup"_s);
    if (!rollup.open(QIODevice::ReadOnly))
        return u"rss_kb=- pss_kb=-"_s;
    QString rss = u"-"_s, pss = u"-"_s;
    for (const QByteArray &line : rollup.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 2 && fields[0] == "Rss:")
            rss = QString::fromLatin1(fields[1]);
        else if (fields.size() >= 2 && fields[0] == "Pss:")
            pss = QString::fromLatin1(fields[1]);
    }
    return u"rss_kb=%1 pss_kb=%2"_s.arg(rss, pss);
}

QString option(const QStringList &arguments, const QString &name, const QString &fallback = {})
{
    const qsizetype at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1] : fallback;
}

int pasteCommand(const QStringList &arguments)
{
    QList<long> checkpoints;
    for (const QString &point : option(arguments, u"--checkpoints"_s).split(u','))
        checkpoints << point.toLong();
    const QString expect = option(arguments, u"--expect"_s);
    if (checkpoints.isEmpty() || checkpoints.last() <= 0 || expect.isEmpty())
        fail(u"paste: --checkpoints N,... and --expect PREFIX are needed"_s);

    // As main() sets the process up, without the tray, the shortcuts and polling.
    // The X11 desktop bench/run measures on.
    DesktopServices desktop(
        BackendChoice { SessionKind::x11, ShortcutBackendKind::x11, ClipboardBackendKind::system });
    desktop.notifier().requestAuthorization();
    AppContainer container(desktop.appServices());
    {
        PastePanelController controller(container.appModel(), container, desktop.notifier());
        auto *fade = controller.panel()->findChild<QPropertyAnimation *>();
        if (!fade)
            fail(u"the panel has no fade animation"_s);
        fade->setDuration(0);

        std::printf("pastes=0 %s\n", qPrintable(memory()));
        std::fflush(stdout);
        for (long round = 1; round <= checkpoints.last(); ++round) {
            controller.open();
            PasteForm *form = controller.form();
            form->textArea()->setPlainText(
                u"bench paste %1\nint main() { return 0; }\n"_s.arg(round));
            // The first form loads the languages; later ones find them in the container.
            if (!waitFor([form] { return form->language().has_value(); }))
                fail(u"round %1: no languages"_s.arg(round));
            form->submit();
            if (!waitFor([form] { return form->sheet() != nullptr; }))
                fail(u"round %1: no result sheet"_s.arg(round));
            const QString copied = QGuiApplication::clipboard()->text();
            if (!copied.startsWith(expect))
                fail(u"round %1: the clipboard holds '%2'"_s.arg(round).arg(copied));
            form->sheet()->accept();
            if (!waitFor([&controller] { return !controller.isVisible(); }))
                fail(u"round %1: the panel stayed open"_s.arg(round));
            if (checkpoints.contains(round)) {
                std::printf("pastes=%ld %s\n", round, qPrintable(memory()));
                std::fflush(stdout);
            }
        }
    }
    return 0;
}

QCoro::Task<int> roundTrips(
    FWKit::NetworkTransport &transport, QUrl url, QByteArray body, long count, QString samplesPath)
{
    QFile samples(samplesPath);
    if (!samples.open(QIODevice::WriteOnly | QIODevice::Truncate))
        co_return 2;
    for (long round = 0; round <= count; ++round) {
        FWKit::HTTPRequest request;
        request.url = url;
        request.method = "POST";
        request.body = body;
        request.timeout = std::chrono::seconds(30);
        request.setHeader("Content-Type", "application/x-www-form-urlencoded");
        const auto start = std::chrono::steady_clock::now();
        const auto response = co_await transport.send(std::move(request));
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (!response || response->statusCode != 200) {
            std::fprintf(stderr, "bench-driver: round trip %ld failed\n", round);
            co_return 1;
        }
        if (round > 0)
            samples.write(QByteArray::number(ms, 'f', 3) + '\n');
    }
    co_return 0;
}

QCoro::Task<> runRoundTrips(FWKit::NetworkTransport &transport, QUrl url, QByteArray body,
    long count, QString samples, int &status)
{
    status = co_await roundTrips(transport, std::move(url), std::move(body), count, samples);
    QCoreApplication::exit(status);
}

int roundtripCommand(const QStringList &arguments)
{
    const QUrl url(option(arguments, u"--url"_s));
    const QString link = option(arguments, u"--link"_s);
    const long count = option(arguments, u"--count"_s, u"200"_s).toLong();
    const QString samples = option(arguments, u"--samples"_s);
    if (!url.isValid() || link.isEmpty() || samples.isEmpty())
        fail(u"roundtrip: --url, --link and --samples are needed"_s);
    FWKit::NetworkTransport transport(FWKit::NetworkTransport::extraAuthoritiesFromEnvironment());
    const QByteArray body = FWKit::HTTPClient::formBody({ { u"url"_s, link } });
    int status = 2;
    runRoundTrips(transport, url, body, count, samples, status);
    QApplication::exec();
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Ferrowick"_s);
    QApplication::setOrganizationName(u"Ferrowick"_s);
    QApplication::setDesktopFileName(AppContainer::serviceID);
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() >= 2 && arguments[1] == u"paste")
        return pasteCommand(arguments);
    if (arguments.size() >= 2 && arguments[1] == u"roundtrip")
        return roundtripCommand(arguments);
    fail(u"usage: bench-driver paste|roundtrip ..."_s);
}
