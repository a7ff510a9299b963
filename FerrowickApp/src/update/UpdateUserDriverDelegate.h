#pragma once

namespace Ferrowick {

// Told by the update controller what the user is about to see, so that the application can come
// to the front for it and step back afterwards.
class UpdateUserDriverDelegate
{
public:
    virtual ~UpdateUserDriverDelegate() = default;

    // Before each modal dialog of an update session.
    virtual void willShowModalAlert() = 0;
    // Once per session, after its last dialog is dismissed or when it ends without one.
    virtual void willFinishUpdateSession() = 0;
};

} // namespace Ferrowick
