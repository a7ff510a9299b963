#include "ui/PastePanelController.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace Ferrowick {

PastePanelController::PastePanelController(AppContainer &container)
    : m_container(container)
{
}

PastePanelController::~PastePanelController()
{
    delete m_panel;
}

bool PastePanelController::isVisible() const
{
    return m_panel && m_panel->isVisible();
}

void PastePanelController::open()
{
    if (!m_panel) {
        m_panel = new QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
        m_panel->setWindowTitle(QStringLiteral("Paste"));
        m_panel->resize(640, 460);
        m_panel->setMinimumSize(520, 380);
        auto *layout = new QVBoxLayout(m_panel);
        layout->addWidget(new QPlainTextEdit(m_panel));
    }
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
}

void PastePanelController::close()
{
    if (m_panel)
        m_panel->hide();
}

void PastePanelController::toggle()
{
    if (isVisible())
        close();
    else
        open();
}

} // namespace Ferrowick
