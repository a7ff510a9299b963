#pragma once

#include <FWKit/OutcomeText.h>

#include <QString>

#include <utility>

namespace FWKit {

// How the new-shrink flow ended.
class ShrinkOutcome
{
public:
    enum class Kind { Copied, Failed, InvalidClipboard };

    // The short link is on the clipboard.
    static ShrinkOutcome copied(QString url) { return { Kind::Copied, std::move(url) }; }
    // The request failed or the answer had no link; the message is shown to the user.
    static ShrinkOutcome failed(QString message) { return { Kind::Failed, std::move(message) }; }
    // The clipboard held no usable web link; nothing was sent.
    static ShrinkOutcome invalidClipboard() { return { Kind::InvalidClipboard, {} }; }

    Kind kind() const { return m_kind; }
    // The link of copied; empty for the other cases.
    QString url() const { return m_kind == Kind::Copied ? m_text.value : QString(); }
    // The message of failed; empty for the other cases.
    QString message() const { return m_kind == Kind::Failed ? m_text.value : QString(); }

    // Case and payload for the log: "copied(url: https://x/y)", "invalidClipboard".
    QString debugDescription() const;

    // Same case, and payloads equal up to Unicode canonical equivalence.
    friend bool operator==(const ShrinkOutcome &, const ShrinkOutcome &) = default;

private:
    ShrinkOutcome(Kind kind, QString text)
        : m_kind(kind)
        , m_text { std::move(text) }
    {
    }

    Kind m_kind;
    detail::OutcomeText m_text;
};

} // namespace FWKit
