#pragma once

#include "Encoding.h"
#include "Misbehaviour.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <expected>
#include <filesystem>
#include <map>
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

struct Account
{
    std::string login;
    std::string password;
    std::vector<std::string> batches;
};

struct ProviderConfig
{
    std::filesystem::path certificate;
    std::filesystem::path key;
    int port = 0; // 0: any free port
    std::vector<Account> accounts;
    bool logRequests = false;
};

// The three services on one HTTPS server bound to 127.0.0.1, plus the /_fake/ control endpoints
// through which tests read what was received and make the next answers misbehave.
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
    struct RecordedRequest
    {
        std::string method;
        std::string target;
        std::string path;
        std::vector<std::pair<std::string, std::string>> headers;
        std::string body;
    };

    void handle(const httplib::Request &request, httplib::Response &response);
    void control(const httplib::Request &request, httplib::Response &response);
    std::optional<Misbehaviour> takeMisbehaviour(const httplib::Request &request);
    // True when the misbehaviour produced the whole answer.
    bool misbehave(const Misbehaviour &misbehaviour, const httplib::Request &request,
        httplib::Response &response);
    std::string requestsJson() const;

    void serve(const httplib::Request &request, httplib::Response &response);
    void shrink(const FormFields &form, httplib::Response &response);
    void paste(const FormFields &form, httplib::Response &response);
    void authenticate(
        const httplib::Request &request, const FormFields &form, httplib::Response &response) const;
    void batches(std::string_view segment, httplib::Response &response) const;
    void followLink(std::string_view code, httplib::Response &response) const;
    void showPaste(std::string_view id, httplib::Response &response) const;

    const Account *account(std::string_view login) const;
    void closeConnections() const;

    const ProviderConfig m_config;
    std::unique_ptr<httplib::SSLServer> m_server;
    std::thread m_thread;
    int m_port = 0;
    std::atomic<bool> m_listenEnded = false;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake; // ends stalled answers on stop
    bool m_stopping = false;
    std::vector<RecordedRequest> m_requests;
    std::deque<Misbehaviour> m_misbehaviours;
    std::map<std::string, std::string, std::less<>> m_links; // short code → long link
    std::map<std::string, std::string, std::less<>> m_pastes; // id → text
    std::uint64_t m_codeCount = 0;
};

} // namespace FWFake
