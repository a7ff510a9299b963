#include "AppActivation.h"
#include "AppContainer.h"
#include "CommandLine.h"
#include "DebugLog.h"
#include "DesktopServices.h"
#include "DesktopSession.h"
#include "ScriptCommands.h"
#include "SingleInstance.h"
#include "ui/MainMenu.h"
#include "ui/PastePanelController.h"
#include "ui/SettingsLauncher.h"
#include "ui/TrayIcon.h"

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <openssl/crypto.h>
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

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

QString usageError(const QString &message)
{
    return u"ferrowick: %1\nTry 'ferrowick --help'.\n"_s.arg(message);
}

// The token the desktop handed this start, so the window the running Ferrowick opens for it may
// take the keyboard.
QString activationToken()
{
    const QString wayland = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    return wayland.isEmpty() ? qEnvironmentVariable("DESKTOP_STARTUP_ID") : wayland;
}

// Asks the portal only in a Wayland session: elsewhere the grabs serve, and the question would
// cost a round trip at every start.
SessionFacts gatherFacts(
    const QProcessEnvironment &environment, const std::unique_ptr<WaylandClipboard> &dataControl)
{
    SessionFacts facts {
        .sessionType = environment.value(u"XDG_SESSION_TYPE"_s),
        .hasWaylandDisplay = !environment.value(u"WAYLAND_DISPLAY"_s).isEmpty(),
        .hasX11Display = !environment.value(u"DISPLAY"_s).isEmpty(),
        .qtPlatform = QGuiApplication::platformName(),
        .portalShortcutsVersion = 0,
        .dataControlProtocol = std::nullopt,
    };
    if (DesktopSession::isWayland(environment))
        facts.portalShortcutsVersion = PortalHotkeys::availableVersion();
    if (dataControl)
        facts.dataControlProtocol = dataControl->protocolName();
    return facts;
}

} // namespace

int main(int argc, char *argv[])
{
    // Qt's network thread may still be inside OpenSSL when the process exits; OpenSSL's own
    // clean-up at exit would free what that thread is using. The system takes it all back anyway.
    OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
    // Help, version and the commands for scripts need no display; anything else is read once Qt
    // has taken its own options.
    QStringList rawArguments;
    for (int i = 1; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    if (const auto early = CommandLine::parse(rawArguments);
        std::holds_alternative<CommandLine::Help>(early)) {
        print(stdout, CommandLine::helpText());
        return 0;
    } else if (std::holds_alternative<CommandLine::Version>(early)) {
        print(stdout, u"ferrowick %1\n"_s.arg(QString::fromUtf8(FERROWICK_VERSION)));
        return 0;
    } else if (const auto *script = std::get_if<CommandLine::Script>(&early)) {
        return ScriptCommands::exec(argc, argv, *script);
    } else if (const auto *invalid = std::get_if<CommandLine::Invalid>(&early);
               invalid && scriptCommandFromName(rawArguments.first())) {
        // Qt's own options never come with these commands: no display is needed to say so.
        print(stderr, usageError(invalid->message));
        return ScriptCommands::usageError;
    }

    // The Wayland clipboard client is asked before Qt picks its platform: without it, the X11
    // selection through XWayland is the one that reads in the background.
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    std::unique_ptr<WaylandClipboard> dataControl;
    if (DesktopSession::isWayland(environment))
        dataControl = WaylandClipboard::connect();
    if (const auto platform =
            DesktopSession::preferredQtPlatform(environment, dataControl != nullptr))
        qputenv("QT_QPA_PLATFORM", *platform);

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

    const CommandLine::Request request = CommandLine::parse(app.arguments().mid(1));
    if (const auto *invalid = std::get_if<CommandLine::Invalid>(&request)) {
        print(stderr, usageError(invalid->message));
        return 2;
    }
    const auto *act = std::get_if<CommandLine::Act>(&request);
    const std::optional<Trigger> trigger = act ? std::optional(act->trigger) : std::nullopt;

    SingleInstance instance;
    if (trigger == Trigger::quit && !instance.isOwned()) {
        print(stderr, u"ferrowick: Ferrowick is not running.\n"_s);
        return 0;
    }
    switch (instance.claim(trigger, activationToken())) {
    case SingleInstance::Claim::secondStart:
        return 0;
    case SingleInstance::Claim::refused:
        print(stderr, u"ferrowick: the running Ferrowick did not take the command.\n"_s);
        return 1;
    case SingleInstance::Claim::first:
    case SingleInstance::Claim::unguarded:
        break;
    }

    const QIcon icon = statusIcon();
    int exitCode = 0;
    {
        // Declared in the order they borrow from each other; they go in reverse, all before
        // QApplication.
        const SessionFacts facts = gatherFacts(environment, dataControl);
        const BackendChoice choice = DesktopSession::choose(facts);
        DebugLog::note(DesktopSession::describe(choice, facts));
        DesktopServices desktop(choice, std::move(dataControl));
        desktop.notifier().requestAuthorization();
        AppContainer container(desktop.appServices());
        AppModel &model = container.appModel();
        const SettingsServices settings { model, container.store(), container,
            &desktop.autostart() };

        PastePanelController pastePanel(model, container, desktop.notifier());
        MainMenu menu(model, container, container);
        TrayIcon tray(icon, menu, desktop.notifier());
        tray.show();

        const auto openSettings = [&settings] { SettingsLauncher::open(settings); };
        QObject::connect(&container, &AppContainer::settingsRequested, &app, openSettings);
        QObject::connect(&instance, &SingleInstance::settingsRequested, &app, openSettings);
        QObject::connect(&container, &AppContainer::pasteToggleRequested, &app,
            [&pastePanel] { pastePanel.toggle(); });
        const auto perform = [&](Trigger command, const QString &token) {
            DebugLog::note(u"command: "_s + triggerName(command));
            AppActivation::useActivationToken(token);
            if (const std::optional<FWKit::FWHotkeyAction> action = hotkeyActionFor(command))
                container.dispatch(*action);
            else if (command == Trigger::settings)
                openSettings();
            else
                app.quit();
        };
        QObject::connect(&instance, &SingleInstance::triggered, &app, perform);

        container.launch();
        // A command that found no Ferrowick running is this start's first task.
        if (trigger)
            QMetaObject::invokeMethod(
                &app, [&perform, &trigger] { perform(*trigger, QString()); }, Qt::QueuedConnection);
        exitCode = app.exec();
    }
    DebugLog::flush();
    return exitCode;
}
