#pragma once

#include "UpdatePrompt.h"

namespace Ferrowick {

// The update session's user-driver delegate. Elsewhere it makes the application a regular one while
// the updater shows something; a Linux desktop has nothing to switch.
class UpdaterActivation final : public UpdateUserDriverDelegate
{
public:
    void willShowModalAlert() override;
    void willFinishUpdateSession() override;
};

} // namespace Ferrowick
