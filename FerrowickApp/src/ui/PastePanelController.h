#pragma once

#include "ui/AppRequests.h"

#include <FWKit/AppModel.h>
#include <FWKit/Desktop.h>

#include <QtGlobal>

#include <memory>

class QPropertyAnimation;

namespace Ferrowick {

class PasteForm;
class PastePanel;

// Owns the one paste panel of the process, made when it is first needed and then only ever hidden
// and shown again, and fades it in and out. Each opening shows a fresh form.
class PastePanelController
{
public:
    static constexpr int fadeMilliseconds = 180;

    PastePanelController(FWKit::AppModel &model, AppRequests &requests, FWKit::Notifying &notifier);
    ~PastePanelController();
    PastePanelController(const PastePanelController &) = delete;
    PastePanelController &operator=(const PastePanelController &) = delete;

    // True from open() until a fade-out has finished: a toggle during the fade-out closes again.
    bool isVisible() const;
    // Shows a fresh form, centred on the screen under the pointer, and takes the keyboard.
    void open();
    // Fades out and hides; nothing when the panel is hidden.
    void close();
    // Opens a hidden panel, closes a visible one.
    void toggle();

    // The panel, made on first use.
    PastePanel *panel();
    PasteForm *form() const;

private:
    void fadeTo(qreal opacity);

    // What each form works on.
    FWKit::AppModel &m_model;
    AppRequests &m_requests;
    FWKit::Notifying &m_notifier;
    // Made by panel(): a tray program that is never asked for the panel does not carry it.
    std::unique_ptr<PastePanel> m_panel;
    QPropertyAnimation *m_fade = nullptr; // the panel's child
};

} // namespace Ferrowick
