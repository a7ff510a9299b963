'''A panel's StatusNotifierWatcher with one registered host, as python3-dbusmock template.

What a KDE Plasma, waybar or AppIndicator panel puts on the session bus: with it, Qt shows its
tray icon as a StatusNotifierItem over D-Bus instead of docking an XEmbed window. Items that
register are listed and announced; the calls are recorded (org.freedesktop.DBus.Mock).
'''

import dbus

BUS_NAME = 'org.kde.StatusNotifierWatcher'
MAIN_OBJ = '/StatusNotifierWatcher'
MAIN_IFACE = 'org.kde.StatusNotifierWatcher'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, {
        'IsStatusNotifierHostRegistered': dbus.Boolean(True),
        'ProtocolVersion': dbus.Int32(0),
        'RegisteredStatusNotifierItems': dbus.Array([], signature='s'),
    })
    mock.AddMethods(MAIN_IFACE, [
        ('RegisterStatusNotifierItem', 's', '', '''items = self.Get('org.kde.StatusNotifierWatcher', 'RegisteredStatusNotifierItems')
self.Set('org.kde.StatusNotifierWatcher', 'RegisteredStatusNotifierItems', dbus.Array(list(items) + [args[0]], signature='s'))
self.EmitSignal('org.kde.StatusNotifierWatcher', 'StatusNotifierItemRegistered', 's', [args[0]])'''),
        ('RegisterStatusNotifierHost', 's', '', ''),
    ])
