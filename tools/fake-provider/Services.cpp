#include "Services.h"

#include "Encoding.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <httplib.h>

namespace FWFake {

namespace {

// In the order the paste form offers them: the plain and most used first, then the rest.
const QStringList pasteLanguages { "Plain Text", "C", "C++", "Objective-C", "Swift", "Python",
    "Ruby", "Perl", "PHP", "JavaScript", "TypeScript", "Java", "Kotlin", "C#", "Go", "Rust",
    "Shell", "SQL", "HTML", "CSS", "XML", "JSON", "YAML", "Markdown", "Diff", "Makefile", "Lua",
    "Haskell" };

QJsonDocument result(const char *type, const char *key, const QString &value)
{
    return QJsonDocument(QJsonObject { { "type", type }, { key, value } });
}

QJsonDocument error(const QString &message)
{
    return result("error", "result", message);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return QByteArrayView(a).compare(QByteArrayView(b), Qt::CaseInsensitive) == 0;
}

// Short codes that look like a real shortener's, from one counter for links and pastes: multiplying
// by a number coprime with 62^6 permutes the six-character codes, so they never repeat.
std::string shortCode(std::uint64_t count)
{
    static constexpr std::string_view digits =
        "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    constexpr std::uint64_t space = 62ULL * 62 * 62 * 62 * 62 * 62;
    std::uint64_t value = (count + 1) * 2330089441ULL % space;
    std::string code(6, '0');
    for (auto it = code.rbegin(); it != code.rend(); ++it, value /= 62)
        *it = digits[value % 62];
    return code;
}

// An absolute http(s) link with a host and no whitespace, which is what a shortener accepts.
bool isWebLink(std::string_view link)
{
    if (std::ranges::any_of(
            link, [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7f; }))
        return false;
    std::string_view rest;
    if (equalsIgnoringCase(link.substr(0, 7), "http://"))
        rest = link.substr(7);
    else if (equalsIgnoringCase(link.substr(0, 8), "https://"))
        rest = link.substr(8);
    else
        return false;
    return !rest.empty() && rest.front() != '/' && rest.front() != '?' && rest.front() != '#';
}

// Split at '&', then at the first '=' (a value may hold more), '+' is a space: as web frameworks
// read a form.
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

// Only a form-encoded body holds form fields, as for a web framework.
std::optional<FormFields> formOf(const httplib::Request &request)
{
    const std::string contentType = request.get_header_value("Content-Type");
    const std::string_view mediaType =
        std::string_view(contentType).substr(0, contentType.find(';'));
    if (!equalsIgnoringCase(mediaType, "application/x-www-form-urlencoded"))
        return FormFields {};
    return parseForm(request.body);
}

// The first field of that name wins.
std::optional<std::string> formValue(const FormFields &fields, std::string_view name)
{
    const auto it = std::ranges::find(fields, name, &FormFields::value_type::first);
    return it == fields.end() ? std::nullopt : std::optional(it->second);
}

} // namespace

const std::string_view defaultAppcast = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel>
    <title>Ferrowick</title>
    <link>{origin}/</link>
    <item>
      <title>Version 1.0.0</title>
      <link>{origin}/releases/1.0.0</link>
      <enclosure url="{origin}/downloads/Ferrowick-1.0.0.tar.xz" sparkle:version="1.0.0"
        length="0" type="application/octet-stream"/>
    </item>
  </channel>
</rss>
)";

void answer(httplib::Response &response, int status, const QJsonDocument &json)
{
    response.status = status;
    response.set_content(
        json.toJson(QJsonDocument::Compact).toStdString(), "application/json; charset=utf-8");
}

void notFound(httplib::Response &response)
{
    response.status = 404;
    response.set_content("Not Found\n", "text/plain; charset=utf-8");
}

std::string_view rawPath(const httplib::Request &request)
{
    const std::string_view target = request.target;
    return target.substr(0, target.find('?'));
}

Services::Services(std::string origin, std::vector<Account> accounts, std::string appcast)
    : m_origin(std::move(origin))
    , m_accounts(std::move(accounts))
    , m_startAppcast(appcast.empty() ? std::string(defaultAppcast) : std::move(appcast))
    , m_appcast(m_startAppcast)
{
}

void Services::setAppcast(std::string appcast)
{
    std::lock_guard lock(m_mutex);
    m_appcast = std::move(appcast);
}

void Services::resetAppcast()
{
    std::lock_guard lock(m_mutex);
    m_appcast = m_startAppcast;
}

void Services::serve(const httplib::Request &request, httplib::Response &response)
{
    const std::string_view path = rawPath(request);
    const bool get = request.method == "GET" || request.method == "HEAD";
    const bool post = request.method == "POST";

    if (post && (path == "/api/shrink" || path == "/api/paste" || path == "/api/authenticate")) {
        auto form = formOf(request);
        if (!form)
            return answer(response, 400, error("Malformed form data"));
        if (path == "/api/shrink")
            return shrink(*form, response);
        if (path == "/api/paste")
            return paste(*form, response);
        return authenticate(request, *form, response);
    }
    if (get) {
        if (path == "/api/valid_languages")
            return answer(response, 200, QJsonDocument(QJsonArray::fromStringList(pasteLanguages)));
        if (path.starts_with("/api/list/"))
            return batches(path.substr(10), response);
        if (path.starts_with("/s/"))
            return followLink(path.substr(3), response);
        if (path.starts_with("/p/"))
            return showPaste(path.substr(3), response);
        if (path == "/appcast.xml")
            return appcast(response);
    }
    // Further services (per-user pages) get their routes here.
    notFound(response);
}

void Services::shrink(const FormFields &form, httplib::Response &response)
{
    const auto link = formValue(form, "url");
    if (!link || link->empty())
        return answer(response, 200, error("Please enter a link to shrink."));
    if (!isWebLink(*link))
        return answer(response, 200,
            error("That is not a web link. Links must start with http:// or https://."));
    std::lock_guard lock(m_mutex);
    const std::string code = shortCode(m_codeCount++);
    m_links.insert_or_assign(code, *link);
    answer(response, 200, result("notice", "url", fromUtf8(m_origin + "/s/" + code)));
}

void Services::paste(const FormFields &form, httplib::Response &response)
{
    const auto language = formValue(form, "language");
    const auto text = formValue(form, "paste");
    if (!text || text->empty())
        return answer(response, 200, error("Your paste is empty."));
    if (!language || language->empty())
        return answer(response, 200, error("Please choose a language."));
    const QString languageName = fromUtf8(*language);
    if (!pasteLanguages.contains(languageName))
        return answer(response, 200, error("Unknown language: " + languageName));
    std::lock_guard lock(m_mutex);
    const std::string id = shortCode(m_codeCount++);
    m_pastes.insert_or_assign(id, *text);
    answer(response, 200, result("notice", "url", fromUtf8(m_origin + "/p/" + id)));
}

void Services::authenticate(
    const httplib::Request &request, const FormFields &form, httplib::Response &response) const
{
    // Both the Basic header and the form must name the same account, with its password.
    const auto accepted = [&] {
        const std::string header = request.get_header_value("Authorization");
        const auto space = header.find(' ');
        if (space == std::string::npos || !equalsIgnoringCase(header.substr(0, space), "Basic"))
            return false;
        const auto token = header.find_first_not_of(' ', space);
        const auto credentials =
            base64Decode(token == std::string::npos ? "" : header.substr(token));
        if (!credentials)
            return false;
        const auto colon = credentials->find(':');
        if (colon == std::string::npos)
            return false;
        const std::string login = credentials->substr(0, colon);
        const std::string password = credentials->substr(colon + 1);
        const auto *known = account(login);
        return known && known->password == password && formValue(form, "login") == login &&
            formValue(form, "password") == password;
    }();
    if (accepted)
        answer(response, 200, result("notice", "result", "Authenticated"));
    else
        answer(response, 200, error("Invalid login or password"));
}

void Services::batches(std::string_view segment, httplib::Response &response) const
{
    // The login is exactly one path segment; an unescaped '/' would make it two.
    if (segment.empty() || segment.find('/') != std::string_view::npos)
        return notFound(response);
    const auto login = percentDecode(segment, false);
    if (!login)
        return answer(response, 400, error("Malformed path"));
    const auto *known = account(*login);
    if (!known)
        return answer(response, 404, error("No such user"));
    QJsonArray list;
    for (const auto &batch : known->batches)
        list.append(QJsonObject { { "batch", fromUtf8(batch) } });
    answer(response, 200, QJsonDocument(list));
}

void Services::followLink(std::string_view code, httplib::Response &response) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_links.find(code);
    if (it == m_links.end())
        return notFound(response);
    response.set_redirect(it->second, 301);
}

void Services::showPaste(std::string_view id, httplib::Response &response) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_pastes.find(id);
    if (it == m_pastes.end())
        return notFound(response);
    response.status = 200;
    response.set_content(it->second, "text/plain; charset=utf-8");
}

void Services::appcast(httplib::Response &response) const
{
    std::string feed;
    {
        std::lock_guard lock(m_mutex);
        feed = m_appcast;
    }
    static constexpr std::string_view placeholder = "{origin}";
    for (auto at = feed.find(placeholder); at != std::string::npos;
         at = feed.find(placeholder, at + m_origin.size()))
        feed.replace(at, placeholder.size(), m_origin);
    response.status = 200;
    response.set_content(feed, "application/rss+xml");
}

const Account *Services::account(std::string_view login) const
{
    const auto it = std::ranges::find(m_accounts, login, &Account::login);
    return it == m_accounts.end() ? nullptr : &*it;
}

} // namespace FWFake
