#pragma once

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

namespace FWFake {

struct CertificateFiles
{
    std::filesystem::path ca; // empty when the certificate came from elsewhere with no CA given
    std::filesystem::path certificate;
    std::filesystem::path key;
};

// Writes a throwaway CA and a server certificate signed by it into dir (created if missing), with
// the openssl command. The server certificate names `host`, or 127.0.0.1 and localhost when host is
// empty; naming another host gives a certificate that a client trusting the CA still rejects.
std::expected<CertificateFiles, std::string> makeCertificates(
    const std::filesystem::path &dir, std::string_view host);

} // namespace FWFake
