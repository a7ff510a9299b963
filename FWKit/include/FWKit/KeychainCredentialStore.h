#pragma once

#include <FWKit/CredentialStoring.h>
#include <FWKit/KeychainServicing.h>

#include <QString>
#include <QVariantMap>

#include <optional>

namespace FWKit {

// The login and the password as two generic-password items of one service, accounts "login"
// and "password". No cache: every call goes to the keychain, so copies of the store and other
// processes see the same items. Reads report every failure as "nothing stored", writes as false.
class KeychainCredentialStore final : public CredentialStoring
{
public:
    // The keychain is not owned and must outlive the store.
    KeychainCredentialStore(KeychainServicing &service, QString serviceID);

    std::optional<QString> login() const override;
    std::optional<QString> password() const override;
    bool setLogin(const QString &login) override;
    bool setPassword(const QString &password) override;

private:
    QVariantMap baseQuery(const QString &account) const;
    std::optional<QString> read(const QString &account) const;
    bool write(const QString &account, const QString &value) const;

    KeychainServicing &m_service;
    QString m_serviceID;
};

} // namespace FWKit
