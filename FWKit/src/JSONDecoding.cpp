#include <FWKit/JSONDecoding.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace FWKit {

std::expected<QJsonValue, QString> JSONDecoding::parse(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return std::unexpected(
            QStringLiteral("not JSON: %1 at offset %2").arg(error.errorString()).arg(error.offset));
    if (document.isArray())
        return QJsonValue(document.array());
    if (document.isObject())
        return QJsonValue(document.object());
    return std::unexpected(QStringLiteral("not a JSON object or array"));
}

std::expected<QString, QString> JSONDecoding::decodeString(const QJsonValue &value)
{
    if (!value.isString())
        return std::unexpected(QStringLiteral("expected a string"));
    return value.toString();
}

} // namespace FWKit
