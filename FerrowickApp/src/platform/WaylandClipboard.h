#pragma once

#include <FWKit/Desktop.h>

#include <QString>

#include <memory>

namespace Ferrowick {

// The Wayland clipboard selection through the data-control protocol (ext-data-control-v1 where
// the compositor announces it, else zwlr-data-control-unstable-v1). Unlike Qt's clipboard it works
// while none of our windows has keyboard focus, which is how a shortcut reaches a tray program.
// It keeps a Wayland connection of its own and never touches Qt's; the primary selection is
// ignored.
//
// Threading: connect() sets up on the caller's thread; from then on one worker thread owns the
// connection and every protocol object and alone dispatches their events. string() and
// setString() hand it closures through one mutex-guarded queue and an eventfd; string() waits for
// the worker's answer and then reads the other client's pipe itself, both bounded by ~2 s, so a
// stalled owner cannot hang the caller. What another client asks us for is written by the worker
// without blocking, however slowly that client reads. The destructor joins the worker.
class WaylandClipboard final : public FWKit::PasteboardReading
{
public:
    // Null without a Wayland display (WAYLAND_DISPLAY) or when the compositor offers no
    // data-control (GNOME, weston). Needs no QGuiApplication, so main() can decide early.
    static std::unique_ptr<WaylandClipboard> connect();
    ~WaylandClipboard() override;

    // Text of the current selection; our own selection is answered from memory. Nothing when the
    // selection holds no text, or its owner did not deliver within the bound.
    std::optional<QString> string() const override;
    // Returns at once; the selection changes once the worker has run the request.
    void setString(const QString &text) override;

    // "ext-data-control-v1" or "zwlr-data-control-unstable-v1", for the start-up log.
    QString protocolName() const;

private:
    struct Worker;
    explicit WaylandClipboard(std::unique_ptr<Worker> worker);

    std::unique_ptr<Worker> m_worker;
};

} // namespace Ferrowick
