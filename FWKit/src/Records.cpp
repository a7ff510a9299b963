#include <FWKit/Records.h>

#include <QJsonDocument>
#include <QJsonParseError>

namespace FWKit {

namespace {
// Absent and null both mean "no value"; a present value must be a string.
std::expected<std::optional<QString>, QString> optionalString(
    const QJsonObject &object, QLatin1String key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::optional<QString>();
    if (!value.isString())
        return std::unexpected(QStringLiteral("\"%1\" is not a string").arg(key));
    return std::optional<QString>(value.toString());
}
} // namespace

std::expected<Batch, QString> Batch::fromJson(const QJsonValue &value)
{
    if (!value.isObject())
        return std::unexpected(QStringLiteral("expected a batch object"));
    const QJsonValue name = value.toObject().value(QLatin1String("batch"));
    if (!name.isString())
        return std::unexpected(QStringLiteral("\"batch\" is missing or not a string"));
    return Batch { name.toString() };
}

std::expected<detail::ResultFields, QString> detail::decodeResultFields(const QJsonValue &value)
{
    if (!value.isObject())
        return std::unexpected(QStringLiteral("expected an object"));
    const QJsonObject object = value.toObject();
    const QJsonValue type = object.value(QLatin1String("type"));
    if (!type.isString())
        return std::unexpected(QStringLiteral("\"type\" is missing or not a string"));
    auto url = optionalString(object, QLatin1String("url"));
    if (!url)
        return std::unexpected(url.error());
    auto result = optionalString(object, QLatin1String("result"));
    if (!result)
        return std::unexpected(result.error());
    return ResultFields { type.toString(), *url, *result };
}

QJsonObject detail::encodeResultFields(const ResultFields &fields)
{
    QJsonObject object { { QStringLiteral("type"), fields.type } };
    if (fields.url)
        object.insert(QStringLiteral("url"), *fields.url);
    if (fields.result)
        object.insert(QStringLiteral("result"), *fields.result);
    return object;
}

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
