#include <FWKit/Clipboard.h>

#include <QList>
#include <QStringView>

#include <algorithm>

// QUrl is not used to validate: even in StrictMode it accepts non-ASCII text (a no-break space
// or a zero-width space inside a link, '[' in a path) and applies DNS rules to hosts that
// RFC 3986 allows. The grammar below is the RFC's, for the one shape we accept:
//   "http" / "https" ":" "//" authority path-abempty [ "?" query ] [ "#" fragment ]
namespace FWKit::Clipboard {

namespace {

bool isAlphaNum(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

bool isHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool isUnreserved(char16_t c)
{
    return isAlphaNum(c) || c == u'-' || c == u'.' || c == u'_' || c == u'~';
}

bool isSubDelimiter(char16_t c)
{
    return QStringView(u"!$&'()*+,;=").contains(QChar(c));
}

// Every character is unreserved, a sub-delimiter or one of `extra`, or belongs to a well-formed
// percent-escape.
bool consistsOf(QStringView text, QStringView extra)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'%') {
            if (i + 2 >= text.size() || !isHexDigit(text[i + 1].unicode()) ||
                !isHexDigit(text[i + 2].unicode()))
                return false;
            i += 2;
        } else if (!isUnreserved(c) && !isSubDelimiter(c) && !extra.contains(QChar(c))) {
            return false;
        }
    }
    return true;
}

bool allDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return isDigit(c.unicode()); });
}

// dec-octet "." dec-octet "." dec-octet "." dec-octet, without leading zeros.
bool isIPv4Address(QStringView text)
{
    const auto octets = text.split(u'.');
    if (octets.size() != 4)
        return false;
    for (QStringView octet : octets) {
        if (octet.isEmpty() || octet.size() > 3 || !allDigits(octet) ||
            (octet.size() > 1 && octet.front() == u'0') || octet.toInt() > 255)
            return false;
    }
    return true;
}

// Counts the 16-bit pieces of a colon-separated run; when the run ends the address, its last
// piece may be an IPv4 address, which counts as two. Returns -1 when the run is malformed.
int pieceCount(QStringView run, bool endsAddress)
{
    if (run.isEmpty())
        return 0;
    const auto pieces = run.split(u':');
    int count = 0;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const QStringView piece = pieces[i];
        if (endsAddress && i == pieces.size() - 1 && piece.contains(u'.')) {
            if (!isIPv4Address(piece))
                return -1;
            count += 2;
        } else if (piece.isEmpty() || piece.size() > 4 ||
            !std::all_of(
                piece.begin(), piece.end(), [](QChar c) { return isHexDigit(c.unicode()); })) {
            return -1;
        } else {
            ++count;
        }
    }
    return count;
}

bool isIPv6Address(QStringView text)
{
    const qsizetype gap = text.indexOf(u"::");
    if (gap < 0)
        return pieceCount(text, true) == 8;
    if (text.indexOf(u"::", gap + 1) >= 0)
        return false;
    const QStringView head = text.left(gap);
    const QStringView tail = text.mid(gap + 2);
    const int headCount = pieceCount(head, false);
    const int tailCount = pieceCount(tail, true);
    // "::" stands for at least one zero piece.
    return headCount >= 0 && tailCount >= 0 && headCount + tailCount <= 7;
}

// "v" 1*HEXDIG "." 1*( unreserved / sub-delims / ":" )
bool isIPvFuture(QStringView text)
{
    if (text.size() < 4 || (text.front() != u'v' && text.front() != u'V'))
        return false;
    const qsizetype dot = text.indexOf(u'.');
    if (dot < 2 || dot == text.size() - 1)
        return false;
    const QStringView version = text.mid(1, dot - 1);
    const QStringView address = text.mid(dot + 1);
    return std::all_of(
               version.begin(), version.end(), [](QChar c) { return isHexDigit(c.unicode()); }) &&
        std::all_of(address.begin(), address.end(), [](QChar c) {
            return isUnreserved(c.unicode()) || isSubDelimiter(c.unicode()) || c == u':';
        });
}

// authority = [ userinfo "@" ] host [ ":" port ], with a host that is not empty.
bool isAuthorityWithHost(QStringView authority)
{
    QStringView hostAndPort = authority;
    if (const qsizetype at = authority.indexOf(u'@'); at >= 0) {
        if (!consistsOf(authority.left(at), u":"))
            return false;
        hostAndPort = authority.mid(at + 1);
    }

    QStringView port;
    if (hostAndPort.startsWith(u'[')) {
        const qsizetype close = hostAndPort.indexOf(u']');
        if (close < 0)
            return false;
        const QStringView literal = hostAndPort.mid(1, close - 1);
        if (!isIPv6Address(literal) && !isIPvFuture(literal))
            return false;
        const QStringView rest = hostAndPort.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':'))
            return false;
        port = rest.mid(1);
    } else {
        // A reg-name (which covers IPv4 addresses) never contains ':'.
        const qsizetype colon = hostAndPort.indexOf(u':');
        const QStringView host = colon < 0 ? hostAndPort : hostAndPort.left(colon);
        if (host.isEmpty() || !consistsOf(host, {}))
            return false;
        if (colon >= 0)
            port = hostAndPort.mid(colon + 1);
    }
    return allDigits(port);
}

bool isWebURI(QStringView text)
{
    QStringView rest;
    if (text.startsWith(u"http://"))
        rest = text.mid(7);
    else if (text.startsWith(u"https://"))
        rest = text.mid(8);
    else
        return false; // another scheme, a capitalised one, no "//" (no host), or no URI at all

    QStringView fragment;
    if (const qsizetype hash = rest.indexOf(u'#'); hash >= 0) {
        fragment = rest.mid(hash + 1);
        rest = rest.left(hash);
    }
    QStringView query;
    if (const qsizetype question = rest.indexOf(u'?'); question >= 0) {
        query = rest.mid(question + 1);
        rest = rest.left(question);
    }
    const qsizetype slash = rest.indexOf(u'/');
    const QStringView authority = slash < 0 ? rest : rest.left(slash);
    const QStringView path = slash < 0 ? QStringView() : rest.mid(slash);

    return isAuthorityWithHost(authority) && consistsOf(path, u":@/") &&
        consistsOf(query, u":@/?") && consistsOf(fragment, u":@/?");
}

} // namespace

std::optional<QString> validatedURLString(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    // QString::trimmed removes exactly the Unicode white-space and line-break characters
    // (categories Zs, Zl, Zp, plus U+0009..U+000D and U+0085), all of them in the BMP.
    QString trimmed = text->trimmed();
    if (!isWebURI(trimmed))
        return std::nullopt;
    return trimmed;
}

} // namespace FWKit::Clipboard
