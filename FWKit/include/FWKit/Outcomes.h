#pragma once

// How the user's actions ended and what the user is told: ShrinkOutcome, PasteOutcome,
// SettingsOutcome, and the NoticeCopy texts.

#include <QString>

#include <cstddef>
#include <utility>

namespace FWKit {

using namespace Qt::StringLiterals;

namespace detail {

// The payload of an outcome: kept exactly as given, and equal to another when the two are
// canonically equivalent in Unicode, so the outcomes can default their equality.
struct OutcomeText
{
    QString value;

    friend bool operator==(const OutcomeText &a, const OutcomeText &b)
    {
        return a.value == b.value ||
            a.value.normalized(QString::NormalizationForm_C) ==
            b.value.normalized(QString::NormalizationForm_C);
    }
};

// How the log writes a case: its name, and the label of its payload (none for a case without).
struct CaseName
{
    const char *name;
    const char *payloadLabel;
};

// What the outcomes share: one of a few cases, and the text that some of them carry. Cases holds
// the enum Kind and, in its order, the names of its cases.
template<typename Cases>
class Outcome
{
public:
    using Kind = typename Cases::Kind;

    Kind kind() const { return m_kind; }

    // Case and payload for the log: "copied(url: https://x/y)", "saved(login: bob)", "needsLogin".
    QString debugDescription() const
    {
        const auto [name, label] = Cases::names[static_cast<std::size_t>(m_kind)];
        if (!label)
            return QString::fromLatin1(name);
        return QString::fromLatin1(name) + u'(' + QString::fromLatin1(label) + u": "_s +
            m_text.value + u')';
    }

    // Same case, and payloads equal up to Unicode canonical equivalence.
    friend bool operator==(const Outcome &, const Outcome &) = default;

protected:
    Outcome(Kind kind, QString text)
        : m_kind(kind)
        , m_text { std::move(text) }
    {
    }

    // The payload when the outcome is of that case; empty for the other cases.
    QString payload(Kind of) const { return m_kind == of ? m_text.value : QString(); }

private:
    Kind m_kind;
    OutcomeText m_text;
};

// What the shrink and paste flows share: a link on the clipboard, or a message for the user.
template<typename Derived, typename Cases>
class LinkOutcome : public Outcome<Cases>
{
public:
    using Kind = typename Cases::Kind;

    // The link is on the clipboard.
    static Derived copied(QString url) { return Derived(Kind::copied, std::move(url)); }
    // The request failed or was refused; the message is shown to the user.
    static Derived failed(QString message) { return Derived(Kind::failed, std::move(message)); }

    // The link of copied; empty for the other cases.
    QString url() const { return this->payload(Kind::copied); }
    // The message of failed; empty for the other cases.
    QString message() const { return this->payload(Kind::failed); }

protected:
    using Outcome<Cases>::Outcome;
};

struct ShrinkCases
{
    enum class Kind { copied, failed, invalidClipboard };
    static constexpr CaseName names[] { { "copied", "url" }, { "failed", "message" },
        { "invalidClipboard", nullptr } };
};

struct PasteCases
{
    enum class Kind { copied, failed, needsLogin };
    static constexpr CaseName names[] { { "copied", "url" }, { "failed", "message" },
        { "needsLogin", nullptr } };
};

struct SettingsCases
{
    enum class Kind { saved, missingFields, saveFailed };
    static constexpr CaseName names[] { { "saved", "login" }, { "missingFields", nullptr },
        { "saveFailed", nullptr } };
};

} // namespace detail

// How the new-shrink flow ended: copied, failed (also when the answer had no link) or
// invalidClipboard.
class ShrinkOutcome : public detail::LinkOutcome<ShrinkOutcome, detail::ShrinkCases>
{
public:
    // The clipboard held no usable web link; nothing was sent.
    static ShrinkOutcome invalidClipboard() { return { Kind::invalidClipboard, {} }; }

private:
    friend LinkOutcome;
    using LinkOutcome::LinkOutcome;
};

// How the paste flow ended: copied, failed (also for incomplete input) or needsLogin.
class PasteOutcome : public detail::LinkOutcome<PasteOutcome, detail::PasteCases>
{
public:
    // No login and password are stored; nothing was sent.
    static PasteOutcome needsLogin() { return { Kind::needsLogin, {} }; }

private:
    friend LinkOutcome;
    using LinkOutcome::LinkOutcome;
};

// How saving the login and password ended.
class SettingsOutcome : public detail::Outcome<detail::SettingsCases>
{
public:
    // Both values were stored; the login as entered.
    static SettingsOutcome saved(QString login) { return { Kind::saved, std::move(login) }; }
    // The login or the password was empty; nothing was stored.
    static SettingsOutcome missingFields() { return { Kind::missingFields, {} }; }
    // The credential store refused at least one of the two values.
    static SettingsOutcome saveFailed() { return { Kind::saveFailed, {} }; }

    // The login of saved; empty for the other cases.
    QString login() const { return payload(Kind::saved); }

private:
    using Outcome::Outcome;
};

// The user-visible notice texts. They are fixed (not localised) and used exactly as written;
// the small differences between them (url/URL, full stops) are part of the wording.
namespace NoticeCopy {

inline const QString title = u"Notice"_s;
inline const QString invalidURL = u"You do not have a valid URL in your clipboard"_s;
inline const QString apiIssue = u"There was an issue contacting the API"_s;
// Where the desktop gives the clipboard only to the window with the keyboard (a Wayland
// compositor without data-control and no XWayland).
inline const QString clipboardUnreadable =
    u"This desktop does not let Ferrowick read the clipboard in the background, so it cannot "
    "shrink the link you copied. Ferrowick reads it on KDE Plasma, sway, Hyprland and other "
    "desktops with the data-control protocol, through XWayland, and on X11."_s;
// Format: "%@" is the short link.
inline const QString shrinkCopied = u"The url has been copied to your clipboard\n\n%@"_s;
inline const QString missingFields = u"Please fill out all the required fields."_s;
// Format: "%@" is the paste's URL.
inline const QString pasteCopied =
    u"The URL for the paste has been copied to your clipboard.\n\n%@"_s;
// Format: "%@" is the login.
inline const QString prefsSaved = u"%@, your preferences have been saved."_s;

// Replaces "%@" in the format with the argument, verbatim. The argument is never read as a
// format itself, so a link full of percent-escapes comes out unchanged.
QString formatted(const QString &format, const QString &argument);

} // namespace NoticeCopy
} // namespace FWKit
