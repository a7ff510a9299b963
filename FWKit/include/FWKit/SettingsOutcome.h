#pragma once

#include <FWKit/OutcomeText.h>

#include <QString>

#include <utility>

namespace FWKit {

// How saving the login and password ended.
class SettingsOutcome
{
public:
    enum class Kind { Saved, MissingFields, SaveFailed };

    // Both values were stored; the login as entered.
    static SettingsOutcome saved(QString login) { return { Kind::Saved, std::move(login) }; }
    // The login or the password was empty; nothing was stored.
    static SettingsOutcome missingFields() { return { Kind::MissingFields, {} }; }
    // The credential store refused at least one of the two values.
    static SettingsOutcome saveFailed() { return { Kind::SaveFailed, {} }; }

    Kind kind() const { return m_kind; }
    // The login of saved; empty for the other cases.
    QString login() const { return m_kind == Kind::Saved ? m_text.value : QString(); }

    // Case and payload for the log: "saved(login: bob)", "saveFailed".
    QString debugDescription() const;

    // Same case, and logins equal up to Unicode canonical equivalence.
    friend bool operator==(const SettingsOutcome &, const SettingsOutcome &) = default;

private:
    SettingsOutcome(Kind kind, QString login)
        : m_kind(kind)
        , m_text { std::move(login) }
    {
    }

    Kind m_kind;
    detail::OutcomeText m_text;
};

} // namespace FWKit
