#include "FakeProvider.h"

#include "Json.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace FWFake {

namespace {

constexpr std::string_view jsonType = "application/json; charset=utf-8";
constexpr std::string_view textType = "text/plain; charset=utf-8";

// In the order the paste form offers them: the plain and most used first, then the rest.
const std::vector<std::string> pasteLanguages { "Plain Text", "C", "C++", "Objective-C", "Swift",
    "Python", "Ruby", "Perl", "PHP", "JavaScript", "TypeScript", "Java", "Kotlin", "C#", "Go",
    "Rust", "Shell", "SQL", "HTML", "CSS", "XML", "JSON", "YAML", "Markdown", "Diff", "Makefile",
    "Lua", "Haskell" };

std::string resultJson(std::string_view type, std::string_view key, std::string_view value)
{
    return "{\"type\":" + Json::quote(type) + "," + Json::quote(key) + ":" + Json::quote(value) +
        "}";
}

void answer(httplib::Response &response, int status, const std::string &body,
    std::string_view contentType = jsonType)
{
    response.status = status;
    response.set_content(body, std::string(contentType));
}

void notFound(httplib::Response &response)
{
    answer(response, 404, "Not Found\n", textType);
}

void badRequest(httplib::Response &response, std::string_view message)
{
    answer(response, 400, resultJson("error", "result", message));
}

// The target up to its query: what the client put in the path, still percent-encoded.
std::string_view rawPath(const httplib::Request &request)
{
    const std::string_view target = request.target;
    return target.substr(0, target.find('?'));
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

// Form fields as a web framework reads them: only from a form-encoded body.
std::optional<FormFields> formOf(const httplib::Request &request)
{
    const std::string contentType = request.get_header_value("Content-Type");
    const std::string_view mediaType =
        std::string_view(contentType).substr(0, contentType.find(';'));
    if (!equalsIgnoringCase(mediaType, "application/x-www-form-urlencoded"))
        return FormFields {};
    return parseForm(request.body);
}

// The headers the server library adds to every request for its handlers; no client sent them.
bool isAddedByServer(std::string_view name)
{
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
        name == "LOCAL_PORT";
}

void dropConnection(const httplib::Request &request)
{
    if (request.ssl)
        ::shutdown(SSL_get_fd(request.ssl), SHUT_RDWR);
}

} // namespace

FakeProvider::FakeProvider(ProviderConfig config)
    : m_config(std::move(config))
{
}

FakeProvider::~FakeProvider()
{
    stop();
}

std::expected<int, std::string> FakeProvider::start()
{
    m_server =
        std::make_unique<httplib::SSLServer>(m_config.certificate.c_str(), m_config.key.c_str());
    if (!m_server->is_valid())
        return std::unexpected("cannot use the certificate " + m_config.certificate.string() +
            " with the key " + m_config.key.string());

    // A stalled answer and every idle keep-alive connection each hold a worker.
    m_server->new_task_queue = [] { return new httplib::ThreadPool(32); };
    m_server->set_tcp_nodelay(true); // before binding, or every answer waits ~40 ms
    // The library's default adds SO_REUSEPORT, with which a second provider on a fixed port would
    // silently share it with the first.
    m_server->set_socket_options([](int socket) {
        const int on = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    });
    m_server->set_keep_alive_max_count(1'000'000);
    // One handler for everything, so that unknown paths are recorded too. [\s\S] because a decoded
    // path may hold a line break, which '.' would not match.
    const auto handler = [this](const httplib::Request &request, httplib::Response &response) {
        handle(request, response);
    };
    const std::string any = R"([\s\S]*)";
    m_server->Get(any, handler);
    m_server->Post(any, handler);
    m_server->Put(any, handler);
    m_server->Patch(any, handler);
    m_server->Delete(any, handler);
    m_server->Options(any, handler);
    if (m_config.logRequests) {
        m_server->set_logger(
            [](const httplib::Request &request, const httplib::Response &response) {
                std::fprintf(stderr, "fake-provider: %s %s -> %d\n", request.method.c_str(),
                    request.target.c_str(), response.status);
            });
    }

    const std::string host = "127.0.0.1";
    if (m_config.port == 0)
        m_port = m_server->bind_to_any_port(host);
    else
        m_port = m_server->bind_to_port(host, m_config.port) ? m_config.port : -1;
    if (m_port <= 0)
        return std::unexpected("cannot listen on " + host + ":" + std::to_string(m_config.port));

    m_thread = std::thread([this] {
        m_server->listen_after_bind();
        m_listenEnded = true;
    });
    // stop() does nothing to a server that has not entered its accept loop yet; wait for it.
    while (!m_server->is_running() && !m_listenEnded)
        std::this_thread::yield();
    if (m_listenEnded) {
        m_thread.join();
        return std::unexpected("the server stopped at once");
    }
    return m_port;
}

void FakeProvider::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (!m_thread.joinable())
        return;
    m_server->stop();
    closeConnections();
    m_thread.join();
}

std::string FakeProvider::origin() const
{
    return "https://127.0.0.1:" + std::to_string(m_port);
}

// The server library waits out every idle keep-alive connection (seconds) before stop() returns.
// It does not hand out its sockets, so find them: the connected ones on our port.
void FakeProvider::closeConnections() const
{
    std::error_code error;
    std::filesystem::directory_iterator it("/proc/self/fd", error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        int fd = -1;
        if (std::from_chars(name.data(), name.data() + name.size(), fd).ec != std::errc {})
            continue;
        sockaddr_storage address {};
        socklen_t length = sizeof address;
        if (getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0 ||
            address.ss_family != AF_INET ||
            ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port) != m_port)
            continue;
        int listening = 1;
        socklen_t optionLength = sizeof listening;
        if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &optionLength) == 0 && !listening)
            ::shutdown(fd, SHUT_RDWR);
    }
}

void FakeProvider::handle(const httplib::Request &request, httplib::Response &response)
{
    if (request.path.starts_with("/_fake/")) {
        control(request, response);
        return;
    }
    RecordedRequest record { request.method, request.target, request.path, {}, request.body };
    for (const auto &[name, value] : request.headers) {
        if (!isAddedByServer(name))
            record.headers.emplace_back(name, value);
    }
    std::optional<Misbehaviour> misbehaviour;
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(std::move(record));
        misbehaviour = takeMisbehaviour(request);
    }
    if (misbehaviour && misbehave(*misbehaviour, request, response))
        return;
    serve(request, response);
}

void FakeProvider::control(const httplib::Request &request, httplib::Response &response)
{
    const std::string_view path = request.path;
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";
    if (path == "/_fake/requests" && get) {
        std::lock_guard lock(m_mutex);
        answer(response, 200, requestsJson());
    } else if (path == "/_fake/reset" && post) {
        std::lock_guard lock(m_mutex);
        m_requests.clear();
        m_misbehaviours.clear();
        answer(response, 200, R"({"ok":true})");
    } else if (path == "/_fake/misbehave" && post) {
        auto misbehaviour = Misbehaviour::fromJson(request.body);
        if (!misbehaviour) {
            answer(response, 400, "{\"error\":" + Json::quote(misbehaviour.error()) + "}");
            return;
        }
        std::lock_guard lock(m_mutex);
        m_misbehaviours.push_back(std::move(*misbehaviour));
        answer(response, 200, R"({"ok":true})");
    } else {
        notFound(response);
    }
}

auto FakeProvider::takeMisbehaviour(const httplib::Request &request) -> std::optional<Misbehaviour>
{
    const auto it = std::ranges::find_if(m_misbehaviours, [&](const Misbehaviour &misbehaviour) {
        return misbehaviour.path == request.path || misbehaviour.path == rawPath(request);
    });
    if (it == m_misbehaviours.end())
        return std::nullopt;
    Misbehaviour taken = *it;
    if (it->count > 0 && --it->count == 0)
        m_misbehaviours.erase(it);
    return taken;
}

bool FakeProvider::misbehave(
    const Misbehaviour &misbehaviour, const httplib::Request &request, httplib::Response &response)
{
    if (misbehaviour.delay.count() > 0) {
        std::unique_lock lock(m_mutex);
        if (m_wake.wait_for(lock, misbehaviour.delay, [this] { return m_stopping; })) {
            lock.unlock();
            dropConnection(request);
            return true;
        }
    }
    if (misbehaviour.close) {
        dropConnection(request);
        return true;
    }
    if (misbehaviour.location) {
        response.status = misbehaviour.status.value_or(302);
        response.set_header("Location", *misbehaviour.location);
    } else if (misbehaviour.status || misbehaviour.body) {
        response.status = misbehaviour.status.value_or(200);
    } else {
        return false; // only a delay: then the usual answer
    }
    if (misbehaviour.body)
        response.set_content(*misbehaviour.body, misbehaviour.contentType);
    return true;
}

std::string FakeProvider::requestsJson() const
{
    std::string json = "[";
    for (const auto &request : m_requests) {
        if (json.size() > 1)
            json += ",";
        json += "{\"method\":" + Json::quote(request.method) +
            ",\"target\":" + Json::quote(request.target) +
            ",\"path\":" + Json::quote(request.path) + ",\"headers\":[";
        for (std::size_t i = 0; i < request.headers.size(); ++i) {
            const auto &[name, value] = request.headers[i];
            json += (i ? ",[" : "[") + Json::quote(name) + "," + Json::quote(value) + "]";
        }
        json += "],\"body\":" +
            (Json::isValidUtf8(request.body) ? Json::quote(request.body) : std::string("null")) +
            ",\"bodyBase64\":" + Json::quote(base64Encode(request.body)) + "}";
    }
    return json + "]";
}

void FakeProvider::serve(const httplib::Request &request, httplib::Response &response)
{
    const std::string_view path = rawPath(request);
    const bool get = request.method == "GET" || request.method == "HEAD";
    const bool post = request.method == "POST";

    if (post && (path == "/api/shrink" || path == "/api/paste" || path == "/api/authenticate")) {
        auto form = formOf(request);
        if (!form)
            return badRequest(response, "Malformed form data");
        if (path == "/api/shrink")
            return shrink(*form, response);
        if (path == "/api/paste")
            return paste(*form, response);
        return authenticate(request, *form, response);
    }
    if (get) {
        if (path == "/api/valid_languages") {
            std::string json = "[";
            for (const auto &language : pasteLanguages)
                json += (json.size() > 1 ? "," : "") + Json::quote(language);
            return answer(response, 200, json + "]");
        }
        if (path.starts_with("/api/list/"))
            return batches(path.substr(10), response);
        if (path.starts_with("/s/"))
            return followLink(path.substr(3), response);
        if (path.starts_with("/p/"))
            return showPaste(path.substr(3), response);
    }
    // Further services (an update feed, per-user pages) get their routes here.
    notFound(response);
}

void FakeProvider::shrink(const FormFields &form, httplib::Response &response)
{
    const auto link = formValue(form, "url");
    if (!link || link->empty())
        return answer(
            response, 200, resultJson("error", "result", "Please enter a link to shrink."));
    if (!isWebLink(*link))
        return answer(response, 200,
            resultJson("error", "result",
                "That is not a web link. Links must start with http:// or https://."));
    std::lock_guard lock(m_mutex);
    const std::string code = shortCode(m_codeCount++);
    m_links.insert_or_assign(code, *link);
    answer(response, 200, resultJson("notice", "url", origin() + "/s/" + code));
}

void FakeProvider::paste(const FormFields &form, httplib::Response &response)
{
    const auto language = formValue(form, "language");
    const auto text = formValue(form, "paste");
    if (!text || text->empty())
        return answer(response, 200, resultJson("error", "result", "Your paste is empty."));
    if (!language || language->empty())
        return answer(response, 200, resultJson("error", "result", "Please choose a language."));
    if (std::ranges::find(pasteLanguages, *language) == pasteLanguages.end())
        return answer(
            response, 200, resultJson("error", "result", "Unknown language: " + *language));
    std::lock_guard lock(m_mutex);
    const std::string id = shortCode(m_codeCount++);
    m_pastes.insert_or_assign(id, *text);
    answer(response, 200, resultJson("notice", "url", origin() + "/p/" + id));
}

void FakeProvider::authenticate(
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
        answer(response, 200, resultJson("notice", "result", "Authenticated"));
    else
        answer(response, 200, resultJson("error", "result", "Invalid login or password"));
}

void FakeProvider::batches(std::string_view segment, httplib::Response &response) const
{
    // The login is exactly one path segment; an unescaped '/' would make it two.
    if (segment.empty() || segment.find('/') != std::string_view::npos)
        return notFound(response);
    const auto login = percentDecode(segment, false);
    if (!login)
        return badRequest(response, "Malformed path");
    const auto *known = account(*login);
    if (!known)
        return answer(response, 404, resultJson("error", "result", "No such user"));
    std::string json = "[";
    for (const auto &batch : known->batches)
        json += (json.size() > 1 ? "," : "") + ("{\"batch\":" + Json::quote(batch) + "}");
    answer(response, 200, json + "]");
}

void FakeProvider::followLink(std::string_view code, httplib::Response &response) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_links.find(code);
    if (it == m_links.end())
        return notFound(response);
    response.set_redirect(it->second, 301);
}

void FakeProvider::showPaste(std::string_view id, httplib::Response &response) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_pastes.find(id);
    if (it == m_pastes.end())
        return notFound(response);
    answer(response, 200, it->second, textType);
}

const Account *FakeProvider::account(std::string_view login) const
{
    const auto it = std::ranges::find(m_config.accounts, login, &Account::login);
    return it == m_config.accounts.end() ? nullptr : &*it;
}

} // namespace FWFake
