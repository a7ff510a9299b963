# A Secret Service whose one item is locked until its unlock prompt is answered, as a
# python3-dbusmock template: gnome-keyring's own prompt needs a GTK prompter the harness has not.
# The prompt answers at once: unlocked, or with parameters {"dismiss": true} dismissed (and the
# item stays locked). Sessions are plain only; calls are logged with dbusmock's --logfile.

import dbus
from dbusmock import mockobject

BUS_NAME = 'org.freedesktop.secrets'
MAIN_OBJ = '/org/freedesktop/secrets'
MAIN_IFACE = 'org.freedesktop.Secret.Service'
SYSTEM_BUS = False
PROMPT_IFACE = 'org.freedesktop.Secret.Prompt'
ITEM = dbus.ObjectPath('/org/freedesktop/secrets/collection/login/1')
SESSION = dbus.ObjectPath('/org/freedesktop/secrets/session/1')
PROMPT = '/org/freedesktop/secrets/prompt/'


def load(mock, parameters):
    state = {'locked': True, 'prompts': 0}

    def items(_self, _attributes):
        listed = dbus.Array([ITEM], signature='o')
        empty = dbus.Array([], signature='o')
        return (empty, listed) if state['locked'] else (listed, empty)

    def open_session(_self, algorithm, _input):
        if algorithm != 'plain':
            raise dbus.exceptions.DBusException(
                'plain only', name='org.freedesktop.DBus.Error.NotSupported')
        return (dbus.String('', variant_level=1), SESSION)

    def answer(prompt, _window):
        dismissed = bool(parameters.get('dismiss'))
        state['locked'] = dismissed
        unlocked = dbus.Array([] if dismissed else [ITEM], signature='o', variant_level=1)
        prompt.EmitSignal(PROMPT_IFACE, 'Completed', 'bv', [dismissed, unlocked])

    def unlock(_self, _objects):
        state['prompts'] += 1
        path = PROMPT + str(state['prompts'])
        mock.AddObject(path, PROMPT_IFACE, {}, [])
        mockobject.objects[path].AddMethod(PROMPT_IFACE, 'Prompt', 's', '', answer)
        return (dbus.Array([], signature='o'), dbus.ObjectPath(path))

    def secrets(_self, _items, session):
        return {ITEM: (session, dbus.ByteArray(b''), dbus.ByteArray(b'from prompt'), 'text/plain')}

    mock.AddMethod(MAIN_IFACE, 'SearchItems', 'a{ss}', 'aoao', items)
    mock.AddMethod(MAIN_IFACE, 'OpenSession', 'sv', 'vo', open_session)
    mock.AddMethod(MAIN_IFACE, 'Unlock', 'ao', 'aoo', unlock)
    mock.AddMethod(MAIN_IFACE, 'GetSecrets', 'aoo', 'a{o(oayays)}', secrets)
