#include "ui/PastePanel.h"

#include "ui/PasteForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>
#include <xcb/xcb.h>

using namespace Qt::StringLiterals;

namespace Ferrowick {

namespace {

struct FreeDeleter
{
    void operator()(void *pointer) const { std::free(pointer); }
};

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name, std::size_t length)
{
    const std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::uint16_t(length), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// _NET_WM_DESKTOP 0xFFFFFFFF puts a window on all desktops; _NET_WM_STATE_STICKY says the same to
// window managers that read only the state. Both are read when the window is mapped. Qt merges its
// own states into whatever _NET_WM_STATE holds, so the sticky state survives Qt's show().
void setStickyOnUnmappedWindow(xcb_connection_t *connection, xcb_window_t window)
{
    static constexpr char stateName[] = "_NET_WM_STATE";
    static constexpr char stickyName[] = "_NET_WM_STATE_STICKY";
    static constexpr char desktopName[] = "_NET_WM_DESKTOP";
    const xcb_atom_t state = internAtom(connection, stateName, sizeof stateName - 1);
    const xcb_atom_t sticky = internAtom(connection, stickyName, sizeof stickyName - 1);
    const xcb_atom_t desktop = internAtom(connection, desktopName, sizeof desktopName - 1);
    if (state == XCB_ATOM_NONE || sticky == XCB_ATOM_NONE || desktop == XCB_ATOM_NONE)
        return;

    std::vector<xcb_atom_t> states;
    const std::unique_ptr<xcb_get_property_reply_t, FreeDeleter> reply(
        xcb_get_property_reply(connection,
            xcb_get_property(connection, 0, window, state, XCB_ATOM_ATOM, 0, 1024), nullptr));
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
        states.assign(atoms, atoms + xcb_get_property_value_length(reply.get()) / 4);
    }
    if (std::ranges::find(states, sticky) == states.end())
        states.push_back(sticky);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32,
        std::uint32_t(states.size()), states.data());

    const std::uint32_t allDesktops = 0xFFFFFFFF;
    xcb_change_property(
        connection, XCB_PROP_MODE_REPLACE, window, desktop, XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
    xcb_flush(connection);
}

} // namespace

PastePanel::PastePanel(QWidget *parent)
    : QWidget(parent,
          Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
              Qt::WindowCloseButtonHint)
{
    setWindowTitle(u"Paste"_s);
    setMinimumSize(minimumContentSize);
    resize(initialSize);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void PastePanel::setForm(PasteForm *form)
{
    delete m_form;
    m_form = form;
    layout()->addWidget(form);
}

void PastePanel::present()
{
    // Read by the window manager when the window is mapped: a hidden panel is withdrawn, and
    // window managers drop a withdrawn window's state.
    requestAllDesktops();
    show();
    raise();
    activateWindow();
    // Hidden and shown again within Qt's grace period for a focus to come back (100 ms), the
    // window still counts as Qt's focus window: the X server's focus-in then changes nothing in
    // Qt, and the panel would take keys without being the active window.
    if (QGuiApplication::focusWindow() == windowHandle() && QApplication::activeWindow() != this)
        QApplication::setActiveWindow(this);
}

void PastePanel::requestAllDesktops()
{
    const auto *x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    setStickyOnUnmappedWindow(x11->connection(), xcb_window_t(winId()));
}

void PastePanel::keyPressEvent(QKeyEvent *event)
{
    // Reaches the panel only when the focused control had no use for the key.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        emit dismissRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PastePanel::closeEvent(QCloseEvent *event)
{
    // The close button asks for the panel to fade out; it lives as long as the process. A close
    // from the program itself (quitting closes every window) goes through, or quitting would stop.
    if (!event->spontaneous()) {
        QWidget::closeEvent(event);
        return;
    }
    event->ignore();
    emit dismissRequested();
}

} // namespace Ferrowick
