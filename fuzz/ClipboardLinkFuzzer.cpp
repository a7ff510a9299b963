// Clipboard text is whatever another program put there; only a web link may go to the service.
#include "FuzzInput.h"

#include <FWKit/Clipboard.h>

#include <QStringView>

#include <algorithm>

using namespace Qt::StringLiterals;

using namespace FWKit;
using FWFuzz::check;
using FWFuzz::visible;

namespace {

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The characters an RFC 3986 URI may contain, with every '%' starting a two-digit escape: so no
// white space, no control character and nothing beyond ASCII.
bool isURICharacters(QStringView link)
{
    static constexpr QStringView allowed = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                           u"0123456789-._~!$&'()*+,;=:/?#[]@%";
    for (qsizetype i = 0; i < link.size(); ++i) {
        if (!allowed.contains(link[i]))
            return false;
        if (link[i] == u'%' &&
            (i + 2 >= link.size() || !isHexDigit(link[i + 1]) || !isHexDigit(link[i + 2])))
            return false;
    }
    return true;
}

// The host of a link that starts with a scheme and "//": the authority up to '/', '?' or '#',
// without user information and port.
QStringView host(QStringView link)
{
    QStringView authority = link.mid(link.indexOf(u"//") + 2);
    for (const QChar end : { u'/', u'?', u'#' })
        if (const qsizetype at = authority.indexOf(end); at >= 0)
            authority = authority.left(at);
    if (const qsizetype at = authority.indexOf(u'@'); at >= 0)
        authority = authority.mid(at + 1);
    const qsizetype end =
        authority.startsWith(u'[') ? authority.indexOf(u']') + 1 : authority.indexOf(u':');
    return end < 0 ? authority : authority.left(end);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        check(!Clipboard::validatedURLString(std::nullopt), "no text is no link");
    const QString text = FWFuzz::text(data, size);
    const std::optional<QString> link = Clipboard::validatedURLString(text);

    // Surrounding white space never decides: the same text inside more of it gets the same answer.
    const QString padded = u" \t\u00a0\u2028"_s + text + u"\r\n\u3000"_s;
    check(Clipboard::validatedURLString(padded) == link, "white space around the text is ignored",
        visible(text));
    if (!link)
        return 0;

    check(*link == text.trimmed(), "the link is the trimmed text, as typed", visible(*link));
    check(link->startsWith(QLatin1String("http://")) || link->startsWith(QLatin1String("https://")),
        "the link is http or https", visible(*link));
    check(!host(*link).isEmpty(), "the link has a host", visible(*link));
    check(isURICharacters(*link), "the link is made of URI characters only", visible(*link));
    check(Clipboard::validatedURLString(*link) == link, "validating again changes nothing",
        visible(*link));
    return 0;
}
