#pragma once

#include <FWKit/OutcomeText.h>

#include <QString>

#include <utility>

namespace FWKit {

// How the paste flow ended.
class PasteOutcome
{
public:
    enum class Kind { Copied, Failed, NeedsLogin };

    // The paste was created; its URL is on the clipboard.
    static PasteOutcome copied(QString url) { return { Kind::Copied, std::move(url) }; }
    // The input was incomplete or the service refused or failed; the message is shown.
    static PasteOutcome failed(QString message) { return { Kind::Failed, std::move(message) }; }
    // No login and password are stored; nothing was sent.
    static PasteOutcome needsLogin() { return { Kind::NeedsLogin, {} }; }

    Kind kind() const { return m_kind; }
    // The URL of copied; empty for the other cases.
    QString url() const { return m_kind == Kind::Copied ? m_text.value : QString(); }
    // The message of failed; empty for the other cases.
    QString message() const { return m_kind == Kind::Failed ? m_text.value : QString(); }

    // Case and payload for the log: "copied(url: https://x/y)", "needsLogin".
    QString debugDescription() const;

    // Same case, and payloads equal up to Unicode canonical equivalence.
    friend bool operator==(const PasteOutcome &, const PasteOutcome &) = default;

private:
    PasteOutcome(Kind kind, QString text)
        : m_kind(kind)
        , m_text { std::move(text) }
    {
    }

    Kind m_kind;
    detail::OutcomeText m_text;
};

} // namespace FWKit
