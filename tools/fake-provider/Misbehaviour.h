#pragma once

#include <chrono>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace FWFake {

// What the next `count` requests to one path get instead of the usual answer.
struct Misbehaviour
{
    std::string path; // compared with the decoded path and with the path as sent
    std::int64_t count = 1; // 0: every request until reset
    std::optional<int> status;
    std::optional<std::string> body;
    std::string contentType = "application/json; charset=utf-8";
    std::optional<std::string> location;
    std::chrono::milliseconds delay { 0 };
    bool close = false;
    // Answers with the whole body's length but sends only its first half, then drops the
    // connection.
    bool cutOff = false;

    // From the body of POST /_fake/misbehave. Unknown keys and wrong types are refused, so that a
    // typing error in a test shows at once instead of as a misbehaviour that never happens.
    static std::expected<Misbehaviour, std::string> fromJson(std::string_view json);
};

} // namespace FWFake
