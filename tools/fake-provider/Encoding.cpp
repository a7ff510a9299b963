#include "Encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace FWFake {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

constexpr std::string_view base64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::optional<std::string> percentDecode(std::string_view text, bool plusIsSpace)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::optional<FormFields> parseForm(std::string_view body)
{
    FormFields fields;
    while (!body.empty()) {
        const auto amp = body.find('&');
        const std::string_view pair = body.substr(0, amp);
        body = amp == std::string_view::npos ? std::string_view {} : body.substr(amp + 1);
        if (pair.empty())
            continue;
        const auto eq = pair.find('=');
        auto name = percentDecode(pair.substr(0, eq), true);
        auto value = percentDecode(
            eq == std::string_view::npos ? std::string_view {} : pair.substr(eq + 1), true);
        if (!name || !value)
            return std::nullopt;
        fields.emplace_back(std::move(*name), std::move(*value));
    }
    return fields;
}

std::optional<std::string> formValue(const FormFields &fields, std::string_view name)
{
    for (const auto &[key, value] : fields) {
        if (key == name)
            return value;
    }
    return std::nullopt;
}

std::string base64Encode(std::string_view bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            group <<= 8;
            if (k < n)
                group |= static_cast<unsigned char>(bytes[i + k]);
        }
        for (std::size_t k = 0; k < 4; ++k)
            out.push_back(k <= n ? base64Alphabet[(group >> (18 - 6 * k)) & 0x3f] : '=');
    }
    return out;
}

std::optional<std::string> base64Decode(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        std::uint32_t group = 0;
        int padding = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            group <<= 6;
            if (c == '=') {
                // Padding only at the very end, at most two characters.
                if (i + 4 != text.size() || k < 2)
                    return std::nullopt;
                ++padding;
                continue;
            }
            if (padding > 0)
                return std::nullopt;
            const auto index = base64Alphabet.find(c);
            if (index == std::string_view::npos)
                return std::nullopt;
            group |= static_cast<std::uint32_t>(index);
        }
        const std::array<char, 3> decoded { static_cast<char>(group >> 16),
            static_cast<char>(group >> 8), static_cast<char>(group) };
        out.append(decoded.data(), 3 - static_cast<std::size_t>(padding));
    }
    return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace FWFake
