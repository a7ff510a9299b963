#include "ui/PastePanelController.h"

#include "ui/PasteForm.h"
#include "ui/PastePanel.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QScreen>
#include <QStyle>

namespace Ferrowick {

using namespace Qt::StringLiterals;

namespace {

// Wayland leaves a window's opacity to the compositor; Qt warns at every step of a fade there.
bool canFade()
{
    return QGuiApplication::platformName() != u"wayland"_s;
}

} // namespace

PastePanelController::PastePanelController(
    FWKit::AppModel &model, AppRequests &requests, FWKit::Notifying &notifier)
    : m_model(model)
    , m_requests(requests)
    , m_notifier(notifier)
{
}

PastePanelController::~PastePanelController() = default;

PastePanel *PastePanelController::panel()
{
    if (m_panel)
        return m_panel.get();
    m_panel = std::make_unique<PastePanel>();
    m_fade = new QPropertyAnimation(m_panel.get(), "windowOpacity", m_panel.get());
    m_fade->setDuration(fadeMilliseconds);
    QObject::connect(m_fade, &QPropertyAnimation::finished, m_panel.get(), [this] {
        if (m_fade->endValue().toReal() == 0.0)
            m_panel->hide();
    });
    QObject::connect(
        m_panel.get(), &PastePanel::dismissRequested, m_panel.get(), [this] { close(); });
    return m_panel.get();
}

bool PastePanelController::isVisible() const
{
    return m_panel && m_panel->isVisible();
}

PasteForm *PastePanelController::form() const
{
    return m_panel ? m_panel->form() : nullptr;
}

void PastePanelController::open()
{
    PastePanel *panel = this->panel();
    auto *form = new PasteForm(m_model, m_requests, m_notifier);
    QObject::connect(form, &PasteForm::closeRequested, panel, [this] { close(); });
    panel->setForm(form);

    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        m_panel->setGeometry(QStyle::alignedRect(
            Qt::LeftToRight, Qt::AlignCenter, m_panel->size(), screen->availableGeometry()));

    m_fade->stop();
    if (canFade())
        m_panel->setWindowOpacity(0.0);
    m_panel->present();
    fadeTo(1.0);
}

void PastePanelController::close()
{
    if (!isVisible())
        return;
    fadeTo(0.0);
}

void PastePanelController::toggle()
{
    if (isVisible())
        close();
    else
        open();
}

void PastePanelController::fadeTo(qreal opacity)
{
    // Without a compositor the opacity changes nothing on screen, but the fade still ends in the
    // hide that matters.
    m_fade->stop();
    if (!canFade()) {
        if (opacity == 0.0)
            m_panel->hide();
        return;
    }
    m_fade->setStartValue(m_panel->windowOpacity());
    m_fade->setEndValue(opacity);
    m_fade->start();
}

} // namespace Ferrowick
