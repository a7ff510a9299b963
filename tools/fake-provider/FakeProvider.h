#pragma once

#include "Misbehaviour.h"
#include "Services.h"

#include <QJsonArray>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <expected>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class SSLServer;
struct Request;
struct Response;
} // namespace httplib

namespace FWFake {

struct ProviderConfig
{
    std::filesystem::path certificate;
    std::filesystem::path key;
    int port = 0; // 0: any free port
    std::vector<Account> accounts;
    std::string appcast; // empty: the default feed
    bool logRequests = false;
};

// The services on one HTTPS server bound to 127.0.0.1, plus the /_fake/ control endpoints through
// which tests read what was received and make the next answers misbehave.
class FakeProvider
{
public:
    explicit FakeProvider(ProviderConfig config);
    ~FakeProvider();
    FakeProvider(const FakeProvider &) = delete;
    FakeProvider &operator=(const FakeProvider &) = delete;

    // Binds and starts serving on a thread of its own; yields the port.
    std::expected<int, std::string> start();
    // Ends stalled answers and open connections at once, then waits for the serving thread.
    void stop();

    // "https://127.0.0.1:PORT"
    std::string origin() const;

private:
    void handle(const httplib::Request &request, httplib::Response &response);
    void control(const httplib::Request &request, httplib::Response &response);
    std::optional<Misbehaviour> takeMisbehaviour(const httplib::Request &request);
    // True when the misbehaviour produced the whole answer.
    bool misbehave(const Misbehaviour &misbehaviour, const httplib::Request &request,
        httplib::Response &response);
    void closeConnections() const;

    const ProviderConfig m_config;
    std::unique_ptr<httplib::SSLServer> m_server;
    std::optional<Services> m_services; // made once the port, and so the origin, is known
    std::thread m_thread;
    int m_port = 0;
    std::atomic<bool> m_listenEnded = false;

    std::mutex m_mutex;
    std::condition_variable m_wake; // ends stalled answers on stop
    bool m_stopping = false;
    QJsonArray m_requests;
    std::deque<Misbehaviour> m_misbehaviours;
};

} // namespace FWFake
