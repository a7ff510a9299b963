# A panel's StatusNotifierWatcher with one registered host, as a python3-dbusmock template: what a
# KDE Plasma, waybar or AppIndicator panel puts on the session bus. With it, Qt shows its tray icon
# as a StatusNotifierItem over D-Bus instead of docking an XEmbed window. Items that register are
# listed (RegisteredStatusNotifierItems) and announced.

import dbus

BUS_NAME = MAIN_IFACE = 'org.kde.StatusNotifierWatcher'
MAIN_OBJ = '/StatusNotifierWatcher'
SYSTEM_BUS = False
ITEMS = f"'{MAIN_IFACE}', 'RegisteredStatusNotifierItems'"


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, {
        'IsStatusNotifierHostRegistered': dbus.Boolean(True),
        'ProtocolVersion': dbus.Int32(0),
        'RegisteredStatusNotifierItems': dbus.Array([], signature='s'),
    })
    mock.AddMethods(MAIN_IFACE, [
        ('RegisterStatusNotifierItem', 's', '',
         f"self.Set({ITEMS}, dbus.Array(list(self.Get({ITEMS})) + [args[0]], signature='s'))\n"
         f"self.EmitSignal('{MAIN_IFACE}', 'StatusNotifierItemRegistered', 's', [args[0]])"),
        ('RegisterStatusNotifierHost', 's', '', ''),
    ])
