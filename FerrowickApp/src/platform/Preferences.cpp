#include "platform/Preferences.h"

using namespace Qt::StringLiterals;

namespace Ferrowick {

namespace {
QString standardPath()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, u"Ferrowick"_s, u"Ferrowick"_s)
        .fileName();
}
} // namespace

Preferences::Preferences(const QString &filePath)
    : m_filePath(filePath.isEmpty() ? standardPath() : filePath)
    , m_settings(std::make_unique<QSettings>(m_filePath, QSettings::NativeFormat))
{
}

std::optional<QString> Preferences::string(const QString &key) const
{
    const QVariant value = m_settings->value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<QByteArray> Preferences::data(const QString &key) const
{
    const QVariant value = m_settings->value(key);
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return value.toByteArray();
}

void Preferences::setData(const QString &key, const QByteArray &value)
{
    m_settings->setValue(key, value);
}

void Preferences::remove(const QString &key)
{
    m_settings->remove(key);
}

void Preferences::sync()
{
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError) {
        m_settings.reset();
        m_settings = std::make_unique<QSettings>(m_filePath, QSettings::NativeFormat);
    }
}

} // namespace Ferrowick
