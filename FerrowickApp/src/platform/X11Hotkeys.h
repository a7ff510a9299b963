#pragma once

#include <FWKit/FWHotkeys.h>

#include <QAbstractNativeEventFilter>

#include <memory>

namespace Ferrowick {

// System-wide shortcuts as passive key grabs on the X root window, over the X connection of the
// running QGuiApplication. Each registration grabs every keycode that produces the key's keysym in
// the server's current keymap, with and without Caps Lock and Num Lock; when the keymap changes
// the grabs follow it. Main thread only; the press callback runs on the main thread, from the
// event loop. Create it after the QGuiApplication and destroy it before.
//
// Off the xcb platform (Wayland, offscreen) it refuses every registration and does nothing else.
class X11Hotkeys final : public FWKit::HotkeyBackend, public QAbstractNativeEventFilter
{
public:
    X11Hotkeys();
    // Releases every grab still held.
    ~X11Hotkeys() override;
    X11Hotkeys(const X11Hotkeys &) = delete;
    X11Hotkeys &operator=(const X11Hotkeys &) = delete;

    // Whether the application runs on an X server, so registrations can succeed at all.
    bool isAvailable() const;

    void installEventHandler(PressCallback callback) override;
    // Refused when another client holds any of the grabs, when the key is not in KeyMap or no
    // keycode produces it, and when this backend already holds the combination.
    std::optional<FWKit::FWHotkeyRef> registerHotkey(
        const FWKit::FWHotkeyDescriptor &descriptor) override;
    void unregisterHotkey(FWKit::FWHotkeyRef ref) override;

    // Swallows the presses of registered combinations and follows keymap changes.
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace Ferrowick
