#pragma once

#include <FWKit/Desktop.h>

#include <QObject>

namespace Ferrowick {

// The user's default browser, through QDesktopServices (xdg-open on a Linux desktop). Main thread.
class BrowserLauncher final : public QObject, public FWKit::BrowserLaunching
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Returns at once; the URL is handed over from the event loop afterwards. A browser that
    // cannot be started is logged, never reported.
    void open(const QUrl &url) override;
};

} // namespace Ferrowick
