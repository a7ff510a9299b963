#pragma once

#include <QString>

#include <optional>

namespace FWKit {

// The user's login and password. Reads answer "nothing stored" for every kind of failure;
// writes report success as a flag.
class CredentialStoring
{
public:
    virtual ~CredentialStoring() = default;

    virtual std::optional<QString> login() const = 0;
    virtual std::optional<QString> password() const = 0;
    virtual bool setLogin(const QString &login) = 0;
    virtual bool setPassword(const QString &password) = 0;
};

} // namespace FWKit
