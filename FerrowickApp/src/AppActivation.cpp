#include "AppActivation.h"

#include <QGuiApplication>
#include <QString>
#include <QWidget>

using namespace Qt::StringLiterals;

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

void useActivationToken(const QString &token)
{
    // Qt's xdg-shell reads the variable at the next activation request and then clears it.
    if (!token.isEmpty() && QGuiApplication::platformName() == u"wayland"_s)
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
}

} // namespace Ferrowick::AppActivation
