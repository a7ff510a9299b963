#pragma once

#include <QUrl>

namespace FWKit {

// Hands a web page to the user's default browser.
class BrowserLaunching
{
public:
    virtual ~BrowserLaunching() = default;

    // Returns at once; whether and when a page is shown is the browser's business and is never
    // reported back.
    virtual void open(const QUrl &url) = 0;
};

} // namespace FWKit
