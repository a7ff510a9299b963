#pragma once

#include <QJsonDocument>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace httplib {
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

// Form fields in body order.
using FormFields = std::vector<std::pair<std::string, std::string>>;

// The feed served when none is given: one release, "1.0.0", downloaded from the provider.
extern const std::string_view defaultAppcast;

// The shrink, paste and account services and the update feed as a client sees them, on the links
// of `origin`. The server calls serve() from several threads at once.
class Services
{
public:
    // An empty appcast serves defaultAppcast.
    Services(std::string origin, std::vector<Account> accounts, std::string appcast = {});

    void serve(const httplib::Request &request, httplib::Response &response);

    // Served as given from the next request on, with "{origin}" replaced by the origin.
    void setAppcast(std::string appcast);
    // Back to the feed of the start.
    void resetAppcast();

private:
    void shrink(const FormFields &form, httplib::Response &response);
    void paste(const FormFields &form, httplib::Response &response);
    void authenticate(
        const httplib::Request &request, const FormFields &form, httplib::Response &response) const;
    void batches(std::string_view segment, httplib::Response &response) const;
    void followLink(std::string_view code, httplib::Response &response) const;
    void showPaste(std::string_view id, httplib::Response &response) const;
    void appcast(httplib::Response &response) const;

    const Account *account(std::string_view login) const;

    const std::string m_origin;
    const std::vector<Account> m_accounts;
    mutable std::mutex m_mutex;
    std::map<std::string, std::string, std::less<>> m_links; // short code → long link
    std::map<std::string, std::string, std::less<>> m_pastes; // id → text
    std::uint64_t m_codeCount = 0;
    const std::string m_startAppcast;
    std::string m_appcast;
};

// Shared with the control endpoints.
void answer(httplib::Response &response, int status, const QJsonDocument &json);
void notFound(httplib::Response &response);
// The target up to its query: what the client put in the path, still percent-encoded.
std::string_view rawPath(const httplib::Request &request);

} // namespace FWFake
