// A local stand-in for the provider's shrink, paste and account services and its update feed, for
// tests and the demo.
// See README.md for the options, the start-up lines and the control endpoints.

#include "Certificates.h"
#include "Encoding.h"
#include "FakeProvider.h"

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string_view>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

using namespace FWFake;

constexpr std::string_view usage = R"(usage: fake-provider [options]
  --make-certs DIR         make a throwaway CA and a server certificate in DIR
  --cert-host HOST         with --make-certs: name HOST in the server certificate instead of
                           127.0.0.1 and localhost (a wrong host for a client trusting the CA)
  --cert FILE --key FILE   use this server certificate and key instead
  --ca FILE                with --cert: the CA to report on the "ca" line
  --port N                 listen on 127.0.0.1:N (default 0: any free port)
  --account LOGIN:PASSWORD[:BATCH,BATCH...]
                           an account (repeatable); each part is percent-decoded, so %3A is a
                           colon inside a part, %2C a comma inside a batch name
  --appcast FILE           serve FILE as the update feed /appcast.xml ("{origin}" in it is
                           replaced by the provider's origin); default: one release, 1.0.0
  --exit-on-stdin-eof      stop when standard input closes
  --log                    print each request to standard error
)";

struct Options
{
    std::filesystem::path makeCerts;
    std::string certHost;
    std::filesystem::path certificate;
    std::filesystem::path key;
    std::filesystem::path ca;
    std::filesystem::path appcast;
    ProviderConfig provider;
    bool exitOnStdinEof = false;
};

std::optional<Account> parseAccount(std::string_view text)
{
    const auto first = text.find(':');
    if (first == std::string_view::npos)
        return std::nullopt;
    const auto second = text.find(':', first + 1);
    auto login = percentDecode(text.substr(0, first), false);
    auto password = percentDecode(text.substr(first + 1, second - first - 1), false);
    if (!login || !password || login->empty())
        return std::nullopt;
    Account account { std::move(*login), std::move(*password), {} };
    if (second == std::string_view::npos)
        return account;
    std::string_view batches = text.substr(second + 1);
    while (!batches.empty()) {
        const auto comma = batches.find(',');
        auto batch = percentDecode(batches.substr(0, comma), false);
        if (!batch)
            return std::nullopt;
        account.batches.push_back(std::move(*batch));
        batches = comma == std::string_view::npos ? std::string_view {} : batches.substr(comma + 1);
    }
    return account;
}

std::expected<Options, std::string> parseOptions(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--exit-on-stdin-eof") {
            options.exitOnStdinEof = true;
            continue;
        }
        if (option == "--log") {
            options.provider.logRequests = true;
            continue;
        }
        if (option == "--help")
            return std::unexpected("");
        static constexpr std::string_view withValue[] { "--make-certs", "--cert-host", "--cert",
            "--key", "--ca", "--port", "--account", "--appcast" };
        if (std::ranges::find(withValue, option) == std::end(withValue))
            return std::unexpected("unknown option " + std::string(option));
        if (i + 1 == argc)
            return std::unexpected("missing value for " + std::string(option));
        const std::string_view value = argv[++i];
        if (option == "--make-certs") {
            options.makeCerts = value;
        } else if (option == "--cert-host") {
            options.certHost = value;
        } else if (option == "--cert") {
            options.certificate = value;
        } else if (option == "--key") {
            options.key = value;
        } else if (option == "--ca") {
            options.ca = value;
        } else if (option == "--appcast") {
            options.appcast = value;
        } else if (option == "--port") {
            int port = -1;
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), port);
            if (error != std::errc {} || end != value.data() + value.size() || port < 0 ||
                port > 65535)
                return std::unexpected("bad port " + std::string(value));
            options.provider.port = port;
        } else if (option == "--account") {
            auto account = parseAccount(value);
            if (!account)
                return std::unexpected(
                    "bad account " + std::string(value) + " (expected LOGIN:PASSWORD[:BATCH,...])");
            options.provider.accounts.push_back(std::move(*account));
        }
    }
    if (options.makeCerts.empty() == options.certificate.empty())
        return std::unexpected("give either --make-certs DIR or --cert FILE --key FILE");
    if (!options.certificate.empty() && options.key.empty())
        return std::unexpected("--cert needs --key");
    if (!options.certHost.empty() && options.makeCerts.empty())
        return std::unexpected("--cert-host needs --make-certs");
    return options;
}

// Waits for SIGTERM, SIGINT or SIGHUP, or for the end of standard input when asked to.
void waitForEnd(int signalFd, bool watchStdin)
{
    while (true) {
        pollfd fds[2] = { { signalFd, POLLIN, 0 }, { STDIN_FILENO, POLLIN, 0 } };
        if (poll(fds, watchStdin ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents != 0)
            return;
        if (fds[1].revents != 0) {
            char buffer[4096];
            if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
                return;
        }
    }
}

int run(int argc, char **argv)
{
    auto options = parseOptions(argc, argv);
    if (!options) {
        if (!options.error().empty())
            std::cerr << "fake-provider: " << options.error() << "\n";
        std::cerr << usage;
        return options.error().empty() ? 0 : 2;
    }

    if (!options->makeCerts.empty()) {
        auto made = makeCertificates(options->makeCerts, options->certHost);
        if (!made) {
            std::cerr << "fake-provider: " << made.error() << "\n";
            return 1;
        }
        options->certificate = made->certificate;
        options->key = made->key;
        options->ca = made->ca;
    }
    if (!options->appcast.empty()) {
        std::ifstream file(options->appcast, std::ios::binary);
        std::ostringstream contents;
        contents << file.rdbuf();
        if (!file || contents.str().empty()) {
            std::cerr << "fake-provider: cannot read the appcast " << options->appcast.string()
                      << " (or it is empty)\n";
            return 1;
        }
        options->provider.appcast = contents.str();
    }
    options->provider.certificate = options->certificate;
    options->provider.key = options->key;

    // Signals arrive through a descriptor; block them before any thread starts so that none of the
    // server's threads takes one. A dropped connection must not kill us with SIGPIPE.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGTERM);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &endSignals, SFD_CLOEXEC);
    if (signalFd < 0) {
        std::perror("fake-provider: signalfd");
        return 1;
    }

    FakeProvider provider(options->provider);
    const auto port = provider.start();
    if (!port) {
        std::cerr << "fake-provider: " << port.error() << "\n";
        return 1;
    }
    std::cout << "origin " << provider.origin() << "\n"
              << "base " << provider.origin() << "/api/\n"
              << "port " << *port << "\n";
    if (!options->ca.empty())
        std::cout << "ca " << std::filesystem::absolute(options->ca).string() << "\n";
    std::cout << "cert " << std::filesystem::absolute(options->certificate).string() << "\n"
              << "ready" << std::endl;

    waitForEnd(signalFd, options->exitOnStdinEof);
    provider.stop();
    close(signalFd);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    return run(argc, argv);
}
