#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

#include <chrono>
#include <optional>

class QMenu;

namespace FWKit {

class Notifying;
} // namespace FWKit

namespace Ferrowick {

using namespace Qt::StringLiterals;

// The status icon in the desktop's tray, XEmbed or StatusNotifierItem. Either click opens the
// menu. When no tray has shown up a little after start (a panel may start late), one notice says
// how to reach Ferrowick without it.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    static inline const QString noTrayNotice =
        u"Ferrowick is running without a tray icon: this desktop shows none. Start Ferrowick "
        "again to open its settings."_s;
    static constexpr std::chrono::seconds trayGrace { 5 };

    // The icon as the tray would draw it; nothing when it cannot be drawn (the image plugin for
    // its format is missing, or the file is damaged): the tray would show an empty square.
    static std::optional<QIcon> load(const QString &path);

    TrayIcon(const QIcon &icon, QMenu &menu, FWKit::Notifying &notifier,
        std::chrono::milliseconds trayGrace = TrayIcon::trayGrace, QObject *parent = nullptr);

    void show();

private:
    QSystemTrayIcon m_tray;
    QMenu &m_menu;
    FWKit::Notifying &m_notifier;
    QTimer m_trayCheck;
};

} // namespace Ferrowick
