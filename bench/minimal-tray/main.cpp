// The floor of this stack: a Qt 6 tray program and nothing else. An icon from the resources (the
// same SVG as Ferrowick's, so the same image plugin loads) and a menu with one entry.

#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QMenu menu;
    menu.addAction(u"Quit"_s, &app, &QCoreApplication::quit);
    QSystemTrayIcon tray(QIcon(u":/icons/wick-mini-bw.svg"_s));
    tray.setContextMenu(&menu);
    tray.show();
    return app.exec();
}
