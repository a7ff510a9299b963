#pragma once

#include "ui/SettingsView.h"

#include <QString>

namespace Ferrowick {

// Starting at login through the desktop's autostart folder: an entry
// `$XDG_CONFIG_HOME/autostart/app.ferrowick.Ferrowick.desktop` made from the program's own desktop
// file, starting this binary. Whatever is in that file is the truth: nothing is remembered here.
class Autostart final : public AutostartSetting
{
public:
    // The desktop's autostart folder unless another is named (tests).
    explicit Autostart(QString folder = {});

    QString entryPath() const;

    // An entry that the desktop skips (Hidden=true, or disabled by GNOME's key) counts as off.
    bool isEnabled() const override;
    std::expected<void, QString> setEnabled(bool enabled) override;

    // The entry's text: the desktop file with Exec= this binary, as the desktop may find it.
    static QByteArray entryText();

private:
    QString m_folder;
};

} // namespace Ferrowick
