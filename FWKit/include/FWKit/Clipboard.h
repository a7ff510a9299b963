#pragma once

#include <QString>

#include <optional>

// Deciding whether clipboard text is a web link worth sending to the shrink service.
namespace FWKit::Clipboard {

// The clipboard text without surrounding white space and line breaks, when that is a valid
// RFC 3986 URI with the scheme "http" or "https" (as written, case-sensitive) and a non-empty
// host; nothing otherwise. The text is returned as typed, never re-serialised.
std::optional<QString> validatedURLString(const std::optional<QString> &text);

} // namespace FWKit::Clipboard
