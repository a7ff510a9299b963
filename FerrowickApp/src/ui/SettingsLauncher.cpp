#include "ui/SettingsLauncher.h"

#include "AppActivation.h"
#include "AppContainer.h"
#include "DebugLog.h"
#include "ui/SettingsWindow.h"

#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace Ferrowick::SettingsLauncher {

namespace {

QPointer<SettingsWindow> openWindow;

void windowWillClose()
{
    AppActivation::setSettingsOpen(false);
    if (!AppActivation::updaterSessionActive())
        AppActivation::setPolicy(AppActivation::Policy::Accessory);
    openWindow = nullptr;
}

SettingsWindow *makeWindow(AppContainer &container)
{
    auto *window = new SettingsWindow(container);
    QObject::connect(window, &SettingsWindow::closing, window, windowWillClose);
    // The window works on the container: it cannot outlive it.
    QObject::connect(&container, &QObject::destroyed, window, [window] {
        windowWillClose();
        delete window;
    });
    window->layout()->activate();
    if (const QScreen *screen = window->screen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    return window;
}

void show(AppContainer &container)
{
    AppActivation::setSettingsOpen(true);
    AppActivation::setPolicy(AppActivation::Policy::Regular);
    if (openWindow) {
        AppActivation::activate(openWindow);
        DebugLog::note(QStringLiteral("settings window reused"));
        return;
    }
    openWindow = makeWindow(container);
    openWindow->show();
    AppActivation::activate(openWindow);
    DebugLog::note(QStringLiteral("settings window ordered front"));
}

} // namespace

void open(AppContainer &container)
{
    QTimer::singleShot(0, &container, [&container] { show(container); });
}

bool isOpen()
{
    return !openWindow.isNull();
}

SettingsWindow *window()
{
    return openWindow;
}

} // namespace Ferrowick::SettingsLauncher
