#include "Misbehaviour.h"

#include "Encoding.h"
#include "Json.h"

#include <algorithm>
#include <array>

namespace FWFake {

namespace {

struct Key
{
    std::string_view name;
    std::size_t type; // index into Json::Scalar
    std::string_view typeName;
};

constexpr std::size_t boolean = 1;
constexpr std::size_t integer = 2;
constexpr std::size_t string = 3;

constexpr std::array keys { Key { "path", string, "a string" },
    Key { "count", integer, "an integer" }, Key { "status", integer, "an integer" },
    Key { "body", string, "a string" }, Key { "bodyBase64", string, "a string" },
    Key { "contentType", string, "a string" }, Key { "location", string, "a string" },
    Key { "delayMs", integer, "an integer" }, Key { "close", boolean, "true or false" } };

template<typename T>
std::optional<T> value(const Json::FlatObject &object, std::string_view key)
{
    const auto it = object.find(key);
    if (it == object.end())
        return std::nullopt;
    return std::get<T>(it->second);
}

bool hasLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

std::expected<Misbehaviour, std::string> Misbehaviour::fromJson(std::string_view json)
{
    const auto object = Json::parseFlatObject(json);
    if (!object)
        return std::unexpected(object.error());
    for (const auto &[name, scalar] : *object) {
        const auto key = std::ranges::find(keys, name, &Key::name);
        if (key == keys.end())
            return std::unexpected("unknown key " + name);
        if (scalar.index() != key->type)
            return std::unexpected(name + " must be " + std::string(key->typeName));
    }

    Misbehaviour result;
    result.path = value<std::string>(*object, "path").value_or("");
    if (!result.path.starts_with('/'))
        return std::unexpected("path must start with '/'");
    result.count = value<std::int64_t>(*object, "count").value_or(1);
    if (result.count < 0)
        return std::unexpected("count must not be negative (0: until reset)");
    if (const auto status = value<std::int64_t>(*object, "status")) {
        if (*status < 200 || *status > 599)
            return std::unexpected("status must be from 200 to 599");
        result.status = static_cast<int>(*status);
    }
    result.body = value<std::string>(*object, "body");
    if (const auto encoded = value<std::string>(*object, "bodyBase64")) {
        if (result.body)
            return std::unexpected("give body or bodyBase64, not both");
        result.body = base64Decode(*encoded);
        if (!result.body)
            return std::unexpected("bodyBase64 is not Base64");
    }
    result.contentType = value<std::string>(*object, "contentType").value_or(result.contentType);
    result.location = value<std::string>(*object, "location");
    const auto delay = value<std::int64_t>(*object, "delayMs").value_or(0);
    if (delay < 0)
        return std::unexpected("delayMs must not be negative");
    result.delay = std::chrono::milliseconds(delay);
    result.close = value<bool>(*object, "close").value_or(false);
    if (hasLineBreak(result.contentType) || hasLineBreak(result.location.value_or("")))
        return std::unexpected("a header value must not contain a line break");
    return result;
}

} // namespace FWFake
