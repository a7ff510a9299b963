#pragma once

#include "Appcast.h"

#include <functional>

namespace Ferrowick {

// What a check found, as the user is told it.
enum class UpdateAnswer { upToDate, newVersion, error };
// How the user left the prompt; only a new version offers download and skip.
enum class UpdateChoice { dismissed, download, skip };

// Where the update check tells the user what it found: the checker decides, the prompt only
// shows. The one implementation is the dialogs of ui/UpdateDialogs.
class UpdatePrompt
{
public:
    virtual ~UpdatePrompt() = default;

    // Shows one answer; `chosen` runs once, when the user leaves it. The item matters only for a
    // new version.
    virtual void show(UpdateAnswer answer, const AppcastItem &item, const QString &currentVersion,
        std::function<void(UpdateChoice)> chosen) = 0;
    // Brings the answer on screen, if any, to the front.
    virtual void raise() = 0;
};

// Told by the update controller what the user is about to see, so that the application can come
// to the front for it and step back afterwards.
class UpdateUserDriverDelegate
{
public:
    virtual ~UpdateUserDriverDelegate() = default;

    // Before each answer a session shows.
    virtual void willShowModalAlert() = 0;
    // Once per session, after its answer is dismissed or when it ends without one.
    virtual void willFinishUpdateSession() = 0;
};

} // namespace Ferrowick
