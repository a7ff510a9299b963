#include "UpdaterActivation.h"

#include "AppActivation.h"

namespace Ferrowick {

void UpdaterActivation::willShowModalAlert()
{
    AppActivation::setUpdaterSessionActive(true);
    AppActivation::setPolicy(AppActivation::Policy::Regular);
    AppActivation::activate();
}

void UpdaterActivation::willFinishUpdateSession()
{
    AppActivation::setUpdaterSessionActive(false);
    if (!AppActivation::settingsOpen())
        AppActivation::setPolicy(AppActivation::Policy::Accessory);
}

} // namespace Ferrowick
