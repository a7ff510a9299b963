#pragma once

#include <cstdint>
#include <expected>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <variant>

namespace FWFake::Json {

// A JSON string literal, quotes included. Invalid UTF-8 becomes U+FFFD, so the output is always
// valid JSON whatever bytes came in.
std::string quote(std::string_view text);

bool isValidUtf8(std::string_view text);

using Scalar = std::variant<std::nullptr_t, bool, std::int64_t, std::string>;
using FlatObject = std::map<std::string, Scalar, std::less<>>;

// The control requests only need an object of scalars: nested values and non-integer numbers are
// refused with a message rather than half-supported. Duplicate keys: the last wins.
std::expected<FlatObject, std::string> parseFlatObject(std::string_view text);

} // namespace FWFake::Json
