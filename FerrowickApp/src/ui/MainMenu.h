#pragma once

#include "ui/AppRequests.h"

#include <FWKit/AppModel.h>
#include <FWKit/HotkeyConfiguration.h>

#include <QKeySequence>
#include <QMenu>

#include <functional>
#include <optional>

namespace Ferrowick {

// The tray icon's menu: the three actions with their global shortcuts shown (ours, or the keys
// the desktop bound; none where the user binds our commands), the user's batches, the links made
// lately, the update check, the settings window and Quit. Rebuilt whenever the shortcut
// configuration or the batch list changes; the Recent submenu whenever its list changes or the
// menu opens (its labels leave the date out for today).
class MainMenu : public QMenu
{
    Q_OBJECT

public:
    MainMenu(FWKit::AppModel &model, AppRequests &requests, HotkeySettings &hotkeys,
        QWidget *parent = nullptr);

    // A text from the service or the user as a row shows it: '&' stays a character, not a
    // mnemonic.
    static QString menuText(QString text);
    // The menu's key equivalent for a global shortcut; nothing when the menu cannot show the key.
    static std::optional<QKeySequence> shortcut(std::optional<FWKit::FWKeyCombo> combo);
    // The row's title: the plain title, or with " (<combination>)" when the shortcut cannot be
    // shown as a key equivalent.
    static QString rowTitle(const QString &title, std::optional<FWKit::FWKeyCombo> combo);
    // The row's text where the desktop binds the keys: the title, and its text for the key in the
    // shortcut column when it has bound one.
    static QString desktopRowText(const QString &title, const QString &trigger);

private:
    void rebuild();
    void rebuildBatches();
    void rebuildRecent();
    void addRow(const QString &title, const QString &iconName, FWKit::FWHotkeyAction action,
        const std::function<void()> &trigger);
    void loadIcons();

    FWKit::AppModel &m_model;
    AppRequests &m_requests;
    HotkeySettings &m_hotkeys;
    QMenu *m_batches = nullptr;
    QMenu *m_recent = nullptr;
    // Each row's theme icon, looked up when the menu first opens: loading the icon theme is the
    // costliest part of building the menu, and nobody sees it before then.
    QList<std::pair<QAction *, QString>> m_pendingIcons;
    bool m_iconsWanted = false;
};

} // namespace Ferrowick
