#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace FWFake {

// Decodes %XX escapes; a '%' not followed by two hex digits makes the whole text malformed.
std::optional<std::string> percentDecode(std::string_view text, bool plusIsSpace);

// Standard alphabet with padding; anything else is rejected.
std::optional<std::string> base64Decode(std::string_view text);

// Invalid sequences become U+FFFD. Unlike QString::fromUtf8, keeps a leading byte order mark.
QString fromUtf8(std::string_view bytes);

} // namespace FWFake
