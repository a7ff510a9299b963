#include "AppActivation.h"

#include <QWidget>

namespace Ferrowick::AppActivation {

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
