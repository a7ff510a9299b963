#pragma once

#include "update/UpdatePrompt.h"

#include <QPointer>

class QMessageBox;

namespace Ferrowick {

// The update check's answers as modal message boxes, one at a time, titled "Software Update".
class UpdateDialogs final : public UpdatePrompt
{
public:
    // Closes a dialog that is still up without reporting a choice.
    ~UpdateDialogs() override;

    void show(UpdateAnswer answer, const AppcastItem &item, const QString &currentVersion,
        std::function<void(UpdateChoice)> chosen) override;
    void raise() override;

private:
    QPointer<QMessageBox> m_dialog;
};

} // namespace Ferrowick
