#pragma once

#include <FWKit/HotkeyConfiguration.h>

#include <QObject>
#include <QString>

namespace Ferrowick {

// The keys a desktop binds on our behalf (the GlobalShortcuts portal): the user picks them in the
// desktop's own editor, and we only learn what they are.
class DesktopShortcuts : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The desktop's own text for the action's key ("Ctrl+Alt+Shift+S"); empty while it reports
    // none.
    virtual QString trigger(FWKit::FWHotkeyAction action) const = 0;
    // Whether the desktop offers to open its editor for our shortcuts.
    virtual bool canConfigure() const = 0;
    // Opens that editor; returns at once. Does nothing where it is not offered.
    virtual void configure() = 0;

signals:
    // The desktop bound, changed or dropped a key.
    void triggersChanged();
};

} // namespace Ferrowick
