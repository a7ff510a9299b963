// The form bodies of the paste and sign-in requests carry user text: whatever it holds, the
// service must read back exactly the fields that were sent.
#include "FuzzInput.h"

#include <FWKit/HTTPClient.h>

#include <QStringDecoder>

using namespace FWKit;
using FWFuzz::check;
using FWFuzz::visible;

namespace {

// The fields of a text: its first character separates the rest into pieces, which pair up as
// name, value, name, value (a last name alone gets an empty value). Every character can appear in
// a field, just not the separator of that one input.
HTTPClient::Fields fields(const QString &text)
{
    HTTPClient::Fields fields;
    if (text.isEmpty())
        return fields;
    const QList<QStringView> pieces = QStringView(text).mid(1).split(text.front());
    for (qsizetype i = 0; i < pieces.size(); i += 2)
        fields.append(
            { pieces[i].toString(), i + 1 < pieces.size() ? pieces[i + 1].toString() : QString() });
    return fields;
}

// What a field reaches the service as: UTF-8 has no form for a lone surrogate, and Qt's encoder
// writes '?' for one. Everything else comes back exactly.
QString utf8RoundTrip(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
        } else {
            out += c.isSurrogate() ? QChar(u'?') : c;
        }
    }
    return out;
}

// Percent-decoded, then UTF-8 as a server reads it: a leading U+FEFF is text, not a byte-order
// mark (QString::fromUtf8 would drop it).
QString decoded(const QByteArray &escaped)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return utf8.decode(QByteArray::fromPercentEncoding(escaped));
}

bool isUnreserved(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~';
}

bool isUpperHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// Unreserved characters, '&', '=' and escapes with upper-case digits: nothing else, so never '+'.
bool isCanonicalFormBody(const QByteArray &body)
{
    for (qsizetype i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '%') {
            if (i + 2 >= body.size() || !isUpperHexDigit(body[i + 1]) ||
                !isUpperHexDigit(body[i + 2]))
                return false;
            i += 2;
        } else if (!isUnreserved(c) && c != '&' && c != '=') {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const HTTPClient::Fields sent = fields(FWFuzz::text(data, size));
    const QByteArray body = HTTPClient::formBody(sent);
    check(isCanonicalFormBody(body), "the body has only unreserved characters, '&', '=' and %XX",
        body);

    // Read it back as a server does: split on '&', then on '=', then percent-decode.
    const QList<QByteArray> pairs = body.isEmpty() ? QList<QByteArray>() : body.split('&');
    check(pairs.size() == sent.size(), "one pair per field", body);
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        const QList<QByteArray> sides = pairs[i].split('=');
        check(sides.size() == 2, "each pair has exactly one '='", pairs[i]);
        const QString name = decoded(sides[0]);
        const QString value = decoded(sides[1]);
        check(name == utf8RoundTrip(sent[i].first), "the name comes back",
            visible(sent[i].first) + " -> " + visible(name));
        check(value == utf8RoundTrip(sent[i].second), "the value comes back",
            visible(sent[i].second) + " -> " + visible(value));
    }
    return 0;
}
