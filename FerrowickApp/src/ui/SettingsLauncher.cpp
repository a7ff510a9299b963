#include "ui/SettingsLauncher.h"

#include "AppActivation.h"
#include "DebugLog.h"
#include "ui/SettingsWindow.h"

#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace Ferrowick::SettingsLauncher {

namespace {

QPointer<SettingsWindow> openWindow;

void windowWillClose()
{
    openWindow = nullptr;
}

SettingsWindow *makeWindow(const SettingsServices &services)
{
    auto *window = new SettingsWindow(services);
    QObject::connect(window, &SettingsWindow::closing, window, windowWillClose);
    // The window works on the application's objects: it cannot outlive them.
    QObject::connect(&services.hotkeys, &QObject::destroyed, window, [window] {
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

void show(const SettingsServices &services)
{
    if (openWindow) {
        AppActivation::activate(openWindow);
        DebugLog::note(u"settings window reused"_s);
        return;
    }
    openWindow = makeWindow(services);
    openWindow->show();
    AppActivation::activate(openWindow);
    DebugLog::note(u"settings window ordered front"_s);
}

} // namespace

void open(const SettingsServices &services)
{
    QTimer::singleShot(0, &services.hotkeys, [services] { show(services); });
}

} // namespace Ferrowick::SettingsLauncher
