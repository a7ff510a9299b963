#include <FWKit/ResultRecord.h>

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

} // namespace FWKit
