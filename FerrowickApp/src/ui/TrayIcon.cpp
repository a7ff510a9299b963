#include "ui/TrayIcon.h"

#include "DebugLog.h"

#include <FWKit/Desktop.h>

#include <QCursor>
#include <QMenu>

using namespace Qt::StringLiterals;

namespace Ferrowick {

std::optional<QIcon> TrayIcon::load(const QString &path)
{
    // The icon engine reads the file now; without a plugin for the format, or with a file it
    // cannot read, it holds nothing. No trial rendering: its pixmap cache would wake the process
    // half a minute later.
    QIcon icon(path);
    if (icon.isNull())
        return std::nullopt;
    return icon;
}

TrayIcon::TrayIcon(const QIcon &icon, QMenu &menu, FWKit::Notifying &notifier,
    std::chrono::milliseconds trayGrace, QObject *parent)
    : QObject(parent)
    , m_tray(icon)
    , m_menu(menu)
    , m_notifier(notifier)
{
    m_tray.setToolTip(u"Ferrowick"_s);
    m_tray.setContextMenu(&menu);
    // A left click opens the same menu as a right click: under the icon, or at the pointer when
    // the tray does not say where the icon is (a StatusNotifierItem host).
    connect(&m_tray, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason != QSystemTrayIcon::Trigger)
                return;
            const QRect icon = m_tray.geometry();
            m_menu.popup(icon.isValid() ? icon.bottomLeft() : QCursor::pos());
        });
    m_trayCheck.setSingleShot(true);
    m_trayCheck.setInterval(trayGrace);
    connect(&m_trayCheck, &QTimer::timeout, this, [this] {
        if (QSystemTrayIcon::isSystemTrayAvailable())
            return;
        DebugLog::note(u"tray: none appeared; told the user how to reach Ferrowick"_s);
        m_notifier.notify(u"Ferrowick"_s, noTrayNotice);
    });
}

void TrayIcon::show()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        DebugLog::note(u"tray: no system tray yet; the shortcuts work meanwhile"_s);
        m_trayCheck.start();
    }
    m_tray.show();
}

} // namespace Ferrowick
