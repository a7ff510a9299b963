#include "ui/SettingsLauncher.h"

#include "AppActivation.h"
#include "AppContainer.h"
#include "DebugLog.h"

#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

namespace Ferrowick::SettingsLauncher {

namespace {

QPointer<QWidget> window;

// Until the real panes arrive the window only says where credentials go.
QWidget *makeWindow()
{
    auto *settings = new QWidget(nullptr, Qt::Window);
    settings->setAttribute(Qt::WA_DeleteOnClose);
    settings->setWindowTitle(QStringLiteral("Ferrowick Settings"));
    settings->setFixedSize(520, 230);
    auto *layout = new QVBoxLayout(settings);
    layout->addWidget(new QLabel(QStringLiteral("Login and shortcuts are set here."), settings));
    QObject::connect(settings, &QObject::destroyed, [] {
        AppActivation::setSettingsOpen(false);
        if (!AppActivation::updaterSessionActive())
            AppActivation::setPolicy(AppActivation::Policy::Accessory);
    });
    return settings;
}

} // namespace

void open(AppContainer &container)
{
    QTimer::singleShot(0, &container, [] {
        AppActivation::setSettingsOpen(true);
        AppActivation::setPolicy(AppActivation::Policy::Regular);
        if (window) {
            window->show();
            window->raise();
            window->activateWindow();
            DebugLog::note(QStringLiteral("settings window reused"));
            return;
        }
        window = makeWindow();
        window->show();
        window->raise();
        window->activateWindow();
        DebugLog::note(QStringLiteral("settings window ordered front"));
    });
}

bool isOpen()
{
    return window && window->isVisible();
}

} // namespace Ferrowick::SettingsLauncher
