#include "FakeProvider.h"

#include "Encoding.h"

#include <QJsonObject>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace FWFake {

namespace {

// The headers the server library adds to every request for its handlers; no client sent them.
bool isAddedByServer(std::string_view name)
{
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
        name == "LOCAL_PORT";
}

// Strings that are not UTF-8 show U+FFFD, so that the record stays JSON; the body's bytes are kept
// whole in Base64.
QJsonObject recordOf(const httplib::Request &request)
{
    QJsonArray headers;
    for (const auto &[name, value] : request.headers) {
        if (!isAddedByServer(name))
            headers.append(QJsonArray { fromUtf8(name), fromUtf8(value) });
    }
    const QByteArray body = QByteArray::fromStdString(request.body);
    return { { "method", fromUtf8(request.method) }, { "target", fromUtf8(request.target) },
        { "path", fromUtf8(request.path) }, { "headers", headers },
        { "body", body.isValidUtf8() ? QJsonValue(fromUtf8(request.body)) : QJsonValue() },
        { "bodyBase64", QString::fromLatin1(body.toBase64()) } };
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

    m_services.emplace(origin(), m_config.accounts, m_config.appcast);
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
    if (request.path.starts_with("/_fake/"))
        return control(request, response);
    const QJsonObject record = recordOf(request);
    std::optional<Misbehaviour> misbehaviour;
    {
        std::lock_guard lock(m_mutex);
        m_requests.append(record);
        misbehaviour = takeMisbehaviour(request);
    }
    if (misbehaviour && misbehave(*misbehaviour, request, response))
        return;
    m_services->serve(request, response);
}

void FakeProvider::control(const httplib::Request &request, httplib::Response &response)
{
    const std::string_view path = request.path;
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";
    const QJsonDocument ok(QJsonObject { { "ok", true } });
    if (path == "/_fake/requests" && get) {
        std::lock_guard lock(m_mutex);
        answer(response, 200, QJsonDocument(m_requests));
    } else if (path == "/_fake/reset" && post) {
        std::lock_guard lock(m_mutex);
        m_requests = {};
        m_misbehaviours.clear();
        m_services->resetAppcast();
        answer(response, 200, ok);
    } else if (path == "/_fake/misbehave" && post) {
        auto misbehaviour = Misbehaviour::fromJson(request.body);
        if (!misbehaviour) {
            return answer(response, 400,
                QJsonDocument(QJsonObject { { "error", fromUtf8(misbehaviour.error()) } }));
        }
        std::lock_guard lock(m_mutex);
        m_misbehaviours.push_back(std::move(*misbehaviour));
        answer(response, 200, ok);
    } else if (path == "/_fake/appcast" && post) {
        m_services->setAppcast(request.body);
        answer(response, 200, ok);
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
    if (misbehaviour.cutOff) {
        const std::string half = misbehaviour.body->substr(0, misbehaviour.body->size() / 2);
        response.set_content_provider(misbehaviour.body->size(), misbehaviour.contentType,
            [half, &request](std::size_t, std::size_t, httplib::DataSink &sink) {
                sink.write(half.data(), half.size());
                dropConnection(request);
                return false;
            });
    } else if (misbehaviour.body) {
        response.set_content(*misbehaviour.body, misbehaviour.contentType);
    }
    return true;
}

} // namespace FWFake
