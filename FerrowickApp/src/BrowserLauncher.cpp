#include "BrowserLauncher.h"

#include "DebugLog.h"

#include <QDesktopServices>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace Ferrowick {

void BrowserLauncher::open(const QUrl &url)
{
    // Handing over may start a process or call the bus: not inside the caller's flow.
    QTimer::singleShot(0, this, [url] {
        if (!QDesktopServices::openUrl(url))
            // Without the query and fragment, which may carry more than a page's name.
            DebugLog::note(u"browser could not open "_s +
                url.toDisplayString(
                    QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment));
    });
}

} // namespace Ferrowick
