#include "Certificates.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace FWFake {

namespace {

bool isIpAddress(const std::string &host)
{
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
        inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

bool isPlainHostName(std::string_view host)
{
    if (host.empty() || host.size() > 253)
        return false;
    for (const char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
            (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':' || c == '*';
        if (!ok)
            return false;
    }
    return true;
}

std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs openssl with its output in a log file, so nothing reaches our stdout (the start-up lines).
std::expected<void, std::string> runOpenssl(
    std::vector<std::string> arguments, const std::filesystem::path &log)
{
    arguments.insert(arguments.begin(), "openssl");
    std::vector<char *> argv;
    for (auto &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(
        &actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawnError = posix_spawnp(&pid, "openssl", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0)
        return std::unexpected("cannot run openssl: " + std::string(std::strerror(spawnError)));

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return std::unexpected("waiting for openssl: " + std::string(std::strerror(errno)));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::unexpected("openssl " + arguments.at(1) + " failed:\n" + readFile(log));
    return {};
}

} // namespace

std::expected<CertificateFiles, std::string> makeCertificates(
    const std::filesystem::path &dir, std::string_view host)
{
    std::string altNames = "IP:127.0.0.1,DNS:localhost";
    if (!host.empty()) {
        if (!isPlainHostName(host))
            return std::unexpected("not a usable host name: " + std::string(host));
        const std::string name(host);
        altNames = (isIpAddress(name) ? "IP:" : "DNS:") + name;
    }

    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error)
        return std::unexpected("cannot create " + dir.string() + ": " + error.message());

    // Our own configuration, so the system's openssl.cnf adds nothing unexpected.
    const auto config = dir / "openssl.cnf";
    {
        std::ofstream out(config);
        out << "[req]\ndistinguished_name = dn\nprompt = no\n[dn]\n"
               "[ca]\n"
               "basicConstraints = critical,CA:TRUE\n"
               "keyUsage = critical,keyCertSign,cRLSign\n"
               "subjectKeyIdentifier = hash\n"
               "[server]\n"
               "basicConstraints = critical,CA:FALSE\n"
               "keyUsage = critical,digitalSignature\n"
               "extendedKeyUsage = serverAuth\n"
            << "subjectAltName = " << altNames << "\n"
            << "subjectKeyIdentifier = hash\n"
               "authorityKeyIdentifier = keyid,issuer\n";
        if (!out)
            return std::unexpected("cannot write " + config.string());
    }

    const CertificateFiles files { dir / "ca.pem", dir / "server.pem", dir / "server.key" };
    const auto caKey = dir / "ca.key";
    const auto log = dir / "openssl.log";
    // P-256 keys: generated in microseconds, unlike RSA.
    const std::vector<std::string> newKey { "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
        "-noenc", "-days", "7", "-config", config.string() };

    std::vector<std::string> makeCa { "req", "-x509", "-extensions", "ca", "-subj",
        "/CN=Fake Provider Test CA", "-keyout", caKey.string(), "-out", files.ca.string() };
    makeCa.insert(makeCa.end(), newKey.begin(), newKey.end());
    if (auto made = runOpenssl(makeCa, log); !made)
        return std::unexpected(made.error());

    const std::string commonName = host.empty() ? "localhost" : std::string(host);
    std::vector<std::string> makeServer { "req", "-x509", "-extensions", "server", "-subj",
        "/CN=" + commonName, "-CA", files.ca.string(), "-CAkey", caKey.string(), "-keyout",
        files.key.string(), "-out", files.certificate.string() };
    makeServer.insert(makeServer.end(), newKey.begin(), newKey.end());
    if (auto made = runOpenssl(makeServer, log); !made)
        return std::unexpected(made.error());

    return files;
}

} // namespace FWFake
