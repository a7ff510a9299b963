#pragma once

#include "ui/AppRequests.h"

#include <FWKit/HotkeyConfiguration.h>

#include <QWidget>

#include <map>

class QLabel;
class QPushButton;

namespace Ferrowick {

class RecorderView;

// The settings window's Shortcuts pane, as the session's binder has it: a recorder per action
// whose changes apply at once; or, where the desktop binds the keys, what it bound and the way to
// its editor; or, where nobody can, the command to bind per action, to copy into the desktop's or
// compositor's settings. Borrows the hotkeys, which outlive it.
class ShortcutsPane : public QWidget
{
    Q_OBJECT

public:
    explicit ShortcutsPane(HotkeySettings &hotkeys, QWidget *parent = nullptr);

private:
    QWidget *makeRow(FWKit::FWHotkeyAction action, const QString &title, const QString &iconName);
    void addRecorderControls(QWidget *row, FWKit::FWHotkeyAction action, const QString &title);
    void addDesktopControls(QWidget *row, FWKit::FWHotkeyAction action, const QString &title);
    void addCommandControls(QWidget *row, FWKit::FWHotkeyAction action, const QString &title);

    void commit(FWKit::FWHotkeyAction action, const FWKit::FWKeyCombo &combo);
    void apply(const FWKit::FWHotkeyConfiguration &next);
    // Shows what HotkeySettings holds now: our configuration, or the desktop's keys.
    void refresh();

    HotkeySettings &m_hotkeys;
    const HotkeySettings::Binder m_binder;
    FWKit::FWHotkeyConfiguration m_configuration;
    int m_titleWidth = 0;
    QWidget *m_hotkeyError = nullptr;
    QLabel *m_desktopNote = nullptr;
    QPushButton *m_configure = nullptr;
    std::map<FWKit::FWHotkeyAction, RecorderView *> m_recorders;
    std::map<FWKit::FWHotkeyAction, QLabel *> m_triggers;
};

} // namespace Ferrowick
