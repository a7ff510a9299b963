#pragma once

#include <QString>

// The user-visible notice texts. They are fixed (not localised) and used exactly as written;
// the small differences between them (url/URL, full stops) are part of the wording.
namespace FWKit::NoticeCopy {

inline const QString title = QStringLiteral("Notice");
inline const QString invalidURL = QStringLiteral("You do not have a valid URL in your clipboard");
inline const QString apiIssue = QStringLiteral("There was an issue contacting the API");
// Format: "%@" is the short link.
inline const QString shrinkCopied =
    QStringLiteral("The url has been copied to your clipboard\n\n%@");
inline const QString missingFields = QStringLiteral("Please fill out all the required fields.");
// Format: "%@" is the paste's URL.
inline const QString pasteCopied =
    QStringLiteral("The URL for the paste has been copied to your clipboard.\n\n%@");
// Format: "%@" is the login.
inline const QString prefsSaved = QStringLiteral("%@, your preferences have been saved.");

// Replaces "%@" in the format with the argument, verbatim. The argument is never read as a
// format itself, so a link full of percent-escapes comes out unchanged.
QString formatted(const QString &format, const QString &argument);

} // namespace FWKit::NoticeCopy
