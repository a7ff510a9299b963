// Saves a PNG of the whole X screen: what a person in front of the headless desktop would see.
//
//     screenshot FILE.png
//
// Exit status 0 when the file was written, 1 when the screen could not be grabbed or saved, 2 for
// bad arguments.

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() != 2 || arguments.at(1).startsWith(u'-')) {
        err << "usage: screenshot FILE.png\n";
        return 2;
    }
    const QString file = arguments.at(1);
    QScreen *screen = QGuiApplication::primaryScreen();
    // Window 0 is the root window: everything mapped on the screen, menus and tray included.
    const QPixmap picture = screen ? screen->grabWindow(0) : QPixmap();
    if (picture.isNull()) {
        err << "screenshot: could not grab the screen\n";
        return 1;
    }
    if (!picture.save(file, "PNG")) {
        err << "screenshot: could not write " << file << '\n';
        return 1;
    }
    return 0;
}
