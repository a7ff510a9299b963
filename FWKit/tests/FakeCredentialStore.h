#pragma once

#include <FWKit/CredentialStoring.h>

namespace FWTest {

// Credentials in memory; writes can be made to fail.
class FakeCredentialStore final : public FWKit::CredentialStoring
{
public:
    std::optional<QString> storedLogin;
    std::optional<QString> storedPassword;
    bool failWrites = false;
    mutable int reads = 0;

    std::optional<QString> login() const override
    {
        ++reads;
        return storedLogin;
    }
    std::optional<QString> password() const override
    {
        ++reads;
        return storedPassword;
    }
    bool setLogin(const QString &login) override { return write(storedLogin, login); }
    bool setPassword(const QString &password) override { return write(storedPassword, password); }

private:
    bool write(std::optional<QString> &slot, const QString &value)
    {
        if (failWrites)
            return false;
        slot = value;
        return true;
    }
};

} // namespace FWTest
