#pragma once

#include "ui/AppRequests.h"

#include <FWKit/AppModel.h>
#include <FWKit/Credentials.h>

#include <QWidget>

#include <array>
#include <expected>

class QCheckBox;
class QIcon;
class QLabel;
class QLineEdit;
class QVBoxLayout;

namespace Ferrowick {

class ErrorLine;

// Whether the program starts when the user logs in, as the desktop will see it.
class AutostartSetting
{
public:
    virtual ~AutostartSetting() = default;

    // Read again at each call: the user may have changed it by other means.
    virtual bool isEnabled() const = 0;
    // On failure, why, in words for the user.
    virtual std::expected<void, QString> setEnabled(bool enabled) = 0;
};

// What the settings window works on: the model saves the credentials, the store shows the stored
// ones, the shortcuts are changed through the application. Without autostart the General pane
// offers no start at login.
struct SettingsServices
{
    FWKit::AppModel &model;
    FWKit::CredentialStoring &store;
    HotkeySettings &hotkeys;
    AutostartSetting *autostart = nullptr;
};

// The settings window's panes, in toolbar order.
enum class SettingsPane { general, shortcuts };
inline constexpr std::array<SettingsPane, 2> allSettingsPanes { SettingsPane::general,
    SettingsPane::shortcuts };

// "General" or "Shortcuts": the header, the toolbar label and the toolbar item's name.
QString settingsPaneTitle(SettingsPane pane);
// The toolbar's picture for the pane, from the desktop's icon theme.
QIcon settingsPaneIcon(SettingsPane pane);
// The window's content size while the pane shows: 520 x 300 or 520 x 310.
QSize settingsPaneSize(SettingsPane pane);

// The settings window's content: a header and one pane. General edits the login and password and
// saves them through the model, and turns the start at login on and off at once; Shortcuts is a
// ShortcutsPane over HotkeySettings. Errors show inline, in red. The stored credentials are read
// once, at construction, the start at login whenever General comes into view; switching panes
// keeps the fields and the messages.
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

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QWidget *makeGeneral();
    void addStartAtLogin(QWidget *pane, QVBoxLayout *column);

    void save();
    void showStartAtLogin();
    void setStartAtLogin(bool enabled);

    SettingsServices m_services;
    SettingsPane m_pane = SettingsPane::general;

    QLabel *m_header = nullptr;
    QWidget *m_general = nullptr;
    QWidget *m_shortcuts = nullptr;
    QLineEdit *m_login = nullptr;
    QLineEdit *m_password = nullptr;
    QWidget *m_missingFields = nullptr;
    QWidget *m_saveFailed = nullptr;
    QCheckBox *m_startAtLogin = nullptr;
    ErrorLine *m_startAtLoginFailed = nullptr;
};

} // namespace Ferrowick
