#include <FWKit/FWHotkeyAction.h>

namespace FWKit {

const char *hotkeyActionName(FWHotkeyAction action)
{
    switch (action) {
    case FWHotkeyAction::newBatch:
        return "newBatch";
    case FWHotkeyAction::openFerrowick:
        return "openFerrowick";
    case FWHotkeyAction::togglePaste:
        return "togglePaste";
    case FWHotkeyAction::newShrink:
        return "newShrink";
    }
    return "unknown";
}

} // namespace FWKit
