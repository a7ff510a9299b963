#include <FWKit/HTTPTransport.h>

#include <algorithm>

namespace FWKit {

namespace {
auto sameName(const QByteArray &name)
{
    return [&name](const std::pair<QByteArray, QByteArray> &header) {
        return header.first.compare(name, Qt::CaseInsensitive) == 0;
    };
}
} // namespace

bool isHttpsURL(const QUrl &url)
{
    return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty();
}

void HTTPRequest::setHeader(const QByteArray &name, const QByteArray &value)
{
    headers.removeIf(sameName(name));
    headers.append({ name, value });
}

std::optional<QByteArray> HTTPRequest::header(const QByteArray &name) const
{
    const auto found = std::find_if(headers.cbegin(), headers.cend(), sameName(name));
    if (found == headers.cend())
        return std::nullopt;
    return found->second;
}

} // namespace FWKit
