#pragma once

#include "UpdateUserDriverDelegate.h"

namespace Ferrowick {

// Keeps the application regular while the updater shows something, and returns it to accessory
// afterwards unless the settings window still needs it.
class UpdaterActivation final : public UpdateUserDriverDelegate
{
public:
    void willShowModalAlert() override;
    void willFinishUpdateSession() override;
};

} // namespace Ferrowick
