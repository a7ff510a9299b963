#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace FWKit {

// The application's user preferences (QSettings in the application). Values are typed: a string
// read where bytes are stored, or the reverse, reads as nothing.
class PreferencesStoring
{
public:
    virtual ~PreferencesStoring() = default;

    virtual std::optional<QString> string(const QString &key) const = 0;
    virtual std::optional<QByteArray> data(const QString &key) const = 0;
    virtual void setData(const QString &key, const QByteArray &value) = 0;
    // Removing an absent key is harmless.
    virtual void remove(const QString &key) = 0;
    // Writes pending changes out.
    virtual void sync() = 0;
};

} // namespace FWKit
