#pragma once

#include <FWKit/Desktop.h>

#include <QSettings>

#include <memory>

namespace Ferrowick {

// The user preferences: QSettings' native format in $XDG_CONFIG_HOME/Ferrowick/Ferrowick.conf.
// Bytes and strings are kept apart, as QSettings types them: the shortcut configuration is bytes,
// the legacy credentials are strings.
class Preferences final : public FWKit::PreferencesStoring
{
public:
    // The standard location unless a file is named (tests).
    explicit Preferences(const QString &filePath = {});

    std::optional<QString> string(const QString &key) const override;
    std::optional<QByteArray> data(const QString &key) const override;
    void setData(const QString &key, const QByteArray &value) override;
    void remove(const QString &key) override;
    // A write that cannot reach the file is dropped here, so reading back shows what is stored.
    void sync() override;

    QString fileName() const { return m_settings->fileName(); }

private:
    QString m_filePath;
    std::unique_ptr<QSettings> m_settings;
};

} // namespace Ferrowick
