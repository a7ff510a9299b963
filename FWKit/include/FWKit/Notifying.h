#pragma once

#include <QString>

namespace FWKit {

// Shows a notice to the user: a desktop notification, or an alert where notifications are refused.
class Notifying
{
public:
    virtual ~Notifying() = default;

    // Returns at once; the notice is shown on the notifier's own schedule and the caller never
    // learns how. Callers carry on (and return their outcome) without waiting for the user.
    virtual void notify(const QString &title, const QString &body) = 0;
};

} // namespace FWKit
