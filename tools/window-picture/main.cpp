// Saves a PNG of one window as it shows on the X screen: the area of its outermost frame (the
// window manager's title bar included), with whatever lies over it, such as its own dialog.
//
//     window-picture WINDOW FILE.png
//
// WINDOW is an X window id, decimal or 0x-hexadecimal, as xdotool and xwininfo print it. Exit
// status 0 when the file was written, 1 when there is no such window or the file could not be
// written, 2 for bad arguments.

#include <QGuiApplication>
#include <QPixmap>
#include <QRect>
#include <QScreen>
#include <QTextStream>

#include <cstdlib>
#include <memory>
#include <optional>
#include <xcb/xcb.h>

namespace {

struct FreeDeleter
{
    void operator()(void *pointer) const { std::free(pointer); }
};

// A window manager puts each window into a frame of its own; the frame is the window's ancestor
// just below the root.
std::optional<QRect> outerGeometry(xcb_connection_t *connection, xcb_window_t window)
{
    while (true) {
        const std::unique_ptr<xcb_query_tree_reply_t, FreeDeleter> tree(
            xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
        if (!tree)
            return std::nullopt;
        if (tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE)
            break;
        window = tree->parent;
    }
    const std::unique_ptr<xcb_get_geometry_reply_t, FreeDeleter> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    if (!geometry)
        return std::nullopt;
    const int border = geometry->border_width;
    return QRect(
        geometry->x, geometry->y, geometry->width + 2 * border, geometry->height + 2 * border);
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = QGuiApplication::arguments();
    bool isNumber = false;
    const uint window = arguments.size() == 3 ? arguments.at(1).toUInt(&isNumber, 0) : 0;
    if (!isNumber) {
        err << "usage: window-picture WINDOW FILE.png\n";
        return 2;
    }
    const auto *x11 = app.nativeInterface<QNativeInterface::QX11Application>();
    // An empty rectangle, not an empty optional: gcc -O3 warns of the optional's rectangle as
    // unset.
    const QRect area =
        x11 ? outerGeometry(x11->connection(), xcb_window_t(window)).value_or(QRect()) : QRect();
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!area.isValid() || !screen) {
        err << "window-picture: no window " << arguments.at(1) << " on this X display\n";
        return 1;
    }
    // From the root window: the screen's pixels, so that windows over this one show too.
    const QPixmap picture = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (picture.isNull() || !picture.save(arguments.at(2), "PNG")) {
        err << "window-picture: could not write " << arguments.at(2) << '\n';
        return 1;
    }
    return 0;
}
