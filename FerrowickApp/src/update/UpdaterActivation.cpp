#include "UpdaterActivation.h"

namespace Ferrowick {

// There is no activation policy to switch here: each dialog of a session raises itself.
void UpdaterActivation::willShowModalAlert() { }

void UpdaterActivation::willFinishUpdateSession() { }

} // namespace Ferrowick
