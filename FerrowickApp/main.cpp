#include "AppContainer.h"
#include "DebugLog.h"
#include "DesktopServices.h"
#include "SingleInstance.h"
#include "ui/MainMenu.h"
#include "ui/PastePanelController.h"
#include "ui/SettingsLauncher.h"
#include "ui/TrayIcon.h"

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace Ferrowick;
using FWKit::AppModel;

namespace {

int signalPipe[2] = { -1, -1 };

// A session ending sends SIGTERM: quit through the event loop, so the log's last lines and the
// keyboard grabs are dealt with as on any other quit.
void quitOnTermination(QApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char signal = 0;
        if (::read(signalPipe[1], &signal, 1) == 1)
            DebugLog::note(u"quit: signal %1"_s.arg(int(signal)));
        app.quit();
    });
    struct sigaction action = {};
    action.sa_handler = [](int signal) {
        const char byte = char(signal);
        [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
    };
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

QIcon statusIcon()
{
    const std::optional<QIcon> icon = TrayIcon::load(u":/icons/wick-mini-bw.svg"_s);
    if (!icon)
        qFatal(
            "Missing wick-mini-bw status icon in bundle (or Qt's SVG plugins are not installed)");
    return *icon;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Ferrowick"_s);
    QApplication::setOrganizationName(u"Ferrowick"_s);
    QApplication::setApplicationVersion(QString::fromUtf8(FERROWICK_VERSION));
    QApplication::setDesktopFileName(AppContainer::serviceID);
    QApplication::setQuitOnLastWindowClosed(false);
    // Outside a desktop environment Qt knows no icon theme; the menu's and settings' icons then
    // come from Adwaita where it is installed.
    QIcon::setFallbackThemeName(u"Adwaita"_s);
    quitOnTermination(app);

    SingleInstance instance;
    if (instance.claim() == SingleInstance::Claim::secondStart)
        return 0;

    const QIcon icon = statusIcon();
    int exitCode = 0;
    {
        // Declared in the order they borrow from each other; they go in reverse, all before
        // QApplication.
        DesktopServices desktop;
        desktop.notifier().requestAuthorization();
        AppContainer container(desktop.appServices());
        AppModel &model = container.appModel();
        const SettingsServices settings { model, container.store(), container };

        PastePanelController pastePanel(model, container, desktop.notifier());
        MainMenu menu(model, container, container);
        TrayIcon tray(icon, menu, desktop.notifier());
        tray.show();

        const auto openSettings = [&settings] { SettingsLauncher::open(settings); };
        QObject::connect(&container, &AppContainer::settingsRequested, &app, openSettings);
        QObject::connect(&instance, &SingleInstance::settingsRequested, &app, openSettings);
        QObject::connect(&container, &AppContainer::pasteToggleRequested, &app,
            [&pastePanel] { pastePanel.toggle(); });

        container.launch();
        exitCode = app.exec();
    }
    DebugLog::flush();
    return exitCode;
}
