#pragma once

#include "ui/AppRequests.h"

#include <FWKit/AppModel.h>
#include <FWKit/Credentials.h>

#include <QWidget>

#include <array>

class QIcon;
class QLabel;
class QLineEdit;

namespace Ferrowick {

// What the settings window works on: the model saves the credentials, the store shows the stored
// ones, the shortcuts are changed through the application.
struct SettingsServices
{
    FWKit::AppModel &model;
    FWKit::CredentialStoring &store;
    HotkeySettings &hotkeys;
};

// The settings window's panes, in toolbar order.
enum class SettingsPane { general, shortcuts };
inline constexpr std::array<SettingsPane, 2> allSettingsPanes { SettingsPane::general,
    SettingsPane::shortcuts };

// "General" or "Shortcuts": the header, the toolbar label and the toolbar item's name.
QString settingsPaneTitle(SettingsPane pane);
// The toolbar's picture for the pane, from the desktop's icon theme.
QIcon settingsPaneIcon(SettingsPane pane);
// The window's content size while the pane shows: 520 x 230 or 520 x 310.
QSize settingsPaneSize(SettingsPane pane);

// The settings window's content: a header and one pane. General edits the login and password and
// saves them through the model; Shortcuts is a ShortcutsPane over HotkeySettings. Errors show
// inline, in red. The stored credentials are read once,
// at construction; switching panes keeps the fields and the messages.
class SettingsView : public QWidget
{
    Q_OBJECT

public:
    explicit SettingsView(const SettingsServices &services, QWidget *parent = nullptr);

    SettingsPane pane() const { return m_pane; }
    // Shows the pane and takes its content size.
    void setPane(SettingsPane pane);

signals:
    // The credentials were saved: the window has done its job.
    void closeRequested();

private:
    QWidget *makeGeneral();

    void save();

    SettingsServices m_services;
    SettingsPane m_pane = SettingsPane::general;

    QLabel *m_header = nullptr;
    QWidget *m_general = nullptr;
    QWidget *m_shortcuts = nullptr;
    QLineEdit *m_login = nullptr;
    QLineEdit *m_password = nullptr;
    QWidget *m_missingFields = nullptr;
    QWidget *m_saveFailed = nullptr;
};

} // namespace Ferrowick
