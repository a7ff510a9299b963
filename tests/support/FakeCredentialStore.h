#pragma once

#include <FWKit/Credentials.h>

#include <functional>

namespace FWTest {

// Credentials in memory. Writes can fail per account, or store something else than they were
// given (a store that does not read back what was written).
class FakeCredentialStore final : public FWKit::CredentialStoring
{
public:
    std::optional<QString> storedLogin;
    std::optional<QString> storedPassword;
    bool failLoginWrites = false;
    bool failPasswordWrites = false;
    std::function<QString(const QString &)> alterWrites;
    mutable int reads = 0;
    int writes = 0;

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
    bool setLogin(const QString &login) override
    {
        return write(storedLogin, login, failLoginWrites);
    }
    bool setPassword(const QString &password) override
    {
        return write(storedPassword, password, failPasswordWrites);
    }

private:
    bool write(std::optional<QString> &slot, const QString &value, bool fail)
    {
        ++writes;
        if (fail)
            return false;
        slot = alterWrites ? alterWrites(value) : value;
        return true;
    }
};

} // namespace FWTest
