#pragma once

#include <QUrl>

namespace FWKit {

// Hands a web page to the user's default browser.
class BrowserLaunching
{
public:
    virtual ~BrowserLaunching() = default;

    // False when the desktop refused to hand the URL on. True does not mean a page was shown: that
    // is the browser's business and is never reported back.
    virtual bool open(const QUrl &url) = 0;
};

} // namespace FWKit
