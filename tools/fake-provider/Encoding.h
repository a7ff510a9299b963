#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace FWFake {

using FormFields = std::vector<std::pair<std::string, std::string>>;

// Decodes %XX escapes; a '%' not followed by two hex digits makes the whole text malformed.
std::optional<std::string> percentDecode(std::string_view text, bool plusIsSpace);

// An application/x-www-form-urlencoded body, fields in body order. Splits each pair at its first
// '=' (a value may contain more) and decodes '+' as a space, as web frameworks do.
std::optional<FormFields> parseForm(std::string_view body);

// The value of the first field of that name, if any.
std::optional<std::string> formValue(const FormFields &fields, std::string_view name);

std::string base64Encode(std::string_view bytes);
// Standard alphabet with padding; anything else is rejected.
std::optional<std::string> base64Decode(std::string_view text);

bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace FWFake
