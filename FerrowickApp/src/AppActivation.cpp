#include "AppActivation.h"

#include <QWidget>

namespace Ferrowick::AppActivation {

namespace {

struct State
{
    bool updaterSessionActive = false;
    bool settingsOpen = false;
    Policy policy = Policy::Accessory;
};

State &state()
{
    static State state;
    return state;
}

} // namespace

bool updaterSessionActive()
{
    return state().updaterSessionActive;
}

void setUpdaterSessionActive(bool active)
{
    state().updaterSessionActive = active;
}

bool settingsOpen()
{
    return state().settingsOpen;
}

void setSettingsOpen(bool open)
{
    state().settingsOpen = open;
}

Policy policy()
{
    return state().policy;
}

void setPolicy(Policy policy)
{
    state().policy = policy;
}

void activate(QWidget *window)
{
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

} // namespace Ferrowick::AppActivation
