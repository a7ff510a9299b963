#pragma once

#include <QPointer>
#include <QWidget>

namespace Ferrowick {

class AppContainer;

// The one floating paste panel of the process: created on first use, then only hidden and shown.
class PastePanelController
{
public:
    explicit PastePanelController(AppContainer &container);
    ~PastePanelController();

    bool isVisible() const;
    void open();
    void close();
    // Opens a hidden panel, hides a visible one.
    void toggle();

    QWidget *panel() const { return m_panel; }

private:
    AppContainer &m_container;
    QPointer<QWidget> m_panel;
};

} // namespace Ferrowick
