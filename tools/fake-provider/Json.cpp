#include "Json.h"

#include <charconv>

namespace FWFake::Json {

namespace {

// Length of the well-formed UTF-8 sequence at the start of text (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0.
std::size_t utf8SequenceLength(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        if (lead == 0xe0)
            low = 0xa0;
        if (lead == 0xed)
            high = 0x9f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        if (lead == 0xf0)
            low = 0x90;
        if (lead == 0xf4)
            high = 0x8f;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    if (byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xbf)
            return 0;
    }
    return length;
}

void appendUtf8(std::string &out, std::uint32_t codePoint)
{
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xc0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3f)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xe0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3f)));
    } else {
        out.push_back(static_cast<char>(0xf0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3f)));
    }
}

class Parser
{
public:
    explicit Parser(std::string_view text)
        : m_text(text)
    {
    }

    std::expected<FlatObject, std::string> object()
    {
        FlatObject result;
        skipSpace();
        if (!consume('{'))
            return fail("expected an object");
        skipSpace();
        if (consume('}'))
            return finish(std::move(result));
        while (true) {
            skipSpace();
            auto key = string();
            if (!key)
                return std::unexpected(key.error());
            skipSpace();
            if (!consume(':'))
                return fail("expected ':'");
            skipSpace();
            auto value = scalar();
            if (!value)
                return std::unexpected(value.error());
            result.insert_or_assign(std::move(*key), std::move(*value));
            skipSpace();
            if (consume('}'))
                return finish(std::move(result));
            if (!consume(','))
                return fail("expected ',' or '}'");
        }
    }

private:
    std::expected<FlatObject, std::string> finish(FlatObject result)
    {
        skipSpace();
        if (m_pos != m_text.size())
            return fail("unexpected text after the object");
        return result;
    }

    std::unexpected<std::string> fail(std::string_view what) const
    {
        return std::unexpected(std::string(what) + " at offset " + std::to_string(m_pos));
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_pos]; }

    bool consume(char c)
    {
        if (atEnd() || m_text[m_pos] != c)
            return false;
        ++m_pos;
        return true;
    }

    bool consumeWord(std::string_view word)
    {
        if (!m_text.substr(m_pos).starts_with(word))
            return false;
        m_pos += word.size();
        return true;
    }

    void skipSpace()
    {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++m_pos;
    }

    std::expected<Scalar, std::string> scalar()
    {
        switch (peek()) {
        case '"': {
            auto text = string();
            if (!text)
                return std::unexpected(text.error());
            return Scalar { std::move(*text) };
        }
        case '{':
        case '[':
            return fail("nested values are not supported");
        default:
            break;
        }
        if (consumeWord("true"))
            return Scalar { true };
        if (consumeWord("false"))
            return Scalar { false };
        if (consumeWord("null"))
            return Scalar { nullptr };
        return integer();
    }

    std::expected<Scalar, std::string> integer()
    {
        const std::size_t start = m_pos;
        consume('-');
        if (atEnd() || peek() < '0' || peek() > '9')
            return fail("expected a value");
        if (peek() == '0')
            ++m_pos;
        else
            while (!atEnd() && peek() >= '0' && peek() <= '9')
                ++m_pos;
        if (peek() == '.' || peek() == 'e' || peek() == 'E')
            return fail("only integer numbers are supported");
        std::int64_t value = 0;
        const auto [end, error] =
            std::from_chars(m_text.data() + start, m_text.data() + m_pos, value);
        if (error != std::errc {} || end != m_text.data() + m_pos)
            return fail("number out of range");
        return Scalar { value };
    }

    std::expected<std::uint32_t, std::string> hex4()
    {
        if (m_text.size() - m_pos < 4)
            return fail("truncated \\u escape");
        std::uint32_t value = 0;
        const auto [end, error] =
            std::from_chars(m_text.data() + m_pos, m_text.data() + m_pos + 4, value, 16);
        if (error != std::errc {} || end != m_text.data() + m_pos + 4)
            return fail("bad \\u escape");
        m_pos += 4;
        return value;
    }

    std::expected<std::string, std::string> string()
    {
        if (!consume('"'))
            return fail("expected a string");
        std::string out;
        while (true) {
            if (atEnd())
                return fail("unterminated string");
            const char c = m_text[m_pos++];
            if (c == '"')
                return out;
            if (static_cast<unsigned char>(c) < 0x20)
                return fail("control character in string");
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (atEnd())
                return fail("unterminated string");
            switch (m_text[m_pos++]) {
            case '"':
                out.push_back('"');
                break;
            case '\\':
                out.push_back('\\');
                break;
            case '/':
                out.push_back('/');
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'u': {
                auto unit = hex4();
                if (!unit)
                    return std::unexpected(unit.error());
                std::uint32_t codePoint = *unit;
                if (codePoint >= 0xdc00 && codePoint <= 0xdfff)
                    return fail("lone low surrogate");
                if (codePoint >= 0xd800 && codePoint <= 0xdbff) {
                    if (!consumeWord("\\u"))
                        return fail("lone high surrogate");
                    auto low = hex4();
                    if (!low)
                        return std::unexpected(low.error());
                    if (*low < 0xdc00 || *low > 0xdfff)
                        return fail("lone high surrogate");
                    codePoint = 0x10000 + ((codePoint - 0xd800) << 10) + (*low - 0xdc00);
                }
                appendUtf8(out, codePoint);
                break;
            }
            default:
                return fail("bad escape");
            }
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

} // namespace

bool isValidUtf8(std::string_view text)
{
    while (!text.empty()) {
        const std::size_t length = utf8SequenceLength(text);
        if (length == 0)
            return false;
        text.remove_prefix(length);
    }
    return true;
}

std::string quote(std::string_view text)
{
    static constexpr std::string_view hex = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    while (!text.empty()) {
        const std::size_t length = utf8SequenceLength(text);
        if (length == 0) {
            out.append("\xEF\xBF\xBD"); // U+FFFD
            text.remove_prefix(1);
            continue;
        }
        const char c = text.front();
        if (length > 1) {
            out.append(text.substr(0, length));
        } else if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (c == '\n') {
            out.append("\\n");
        } else if (c == '\r') {
            out.append("\\r");
        } else if (c == '\t') {
            out.append("\\t");
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            out.append("\\u00");
            out.push_back(hex[static_cast<unsigned char>(c) >> 4]);
            out.push_back(hex[static_cast<unsigned char>(c) & 0xf]);
        } else {
            out.push_back(c);
        }
        text.remove_prefix(length);
    }
    out.push_back('"');
    return out;
}

std::expected<FlatObject, std::string> parseFlatObject(std::string_view text)
{
    return Parser(text).object();
}

} // namespace FWFake::Json
