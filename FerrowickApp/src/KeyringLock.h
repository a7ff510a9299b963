#pragma once

#include <QObject>

namespace Ferrowick {

// The desktop keyring's lock as the reads meet it. A read of a locked keyring answers "locked" at
// once and asks the desktop to unlock it (its own prompt, never waited for); unlocked() says when
// to read again.
class KeyringLock : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Whether the last read found the items locked; the desktop has been asked to unlock them.
    virtual bool isLocked() const = 0;

signals:
    // The user unlocked the keyring at the desktop's prompt.
    void unlocked();
};

} // namespace Ferrowick
