#include <FWKit/Records.h>

#include <QJsonDocument>
#include <QJsonParseError>

using namespace Qt::StringLiterals;

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
        return std::unexpected(u"\"%1\" is not a string"_s.arg(key));
    return std::optional<QString>(value.toString());
}
} // namespace

std::expected<Batch, QString> Batch::fromJson(const QJsonValue &value)
{
    if (!value.isObject())
        return std::unexpected(u"expected a batch object"_s);
    const QJsonValue name = value.toObject().value(QLatin1String("batch"));
    if (!name.isString())
        return std::unexpected(u"\"batch\" is missing or not a string"_s);
    return Batch { name.toString() };
}

std::expected<detail::ResultFields, QString> detail::decodeResultFields(const QJsonValue &value)
{
    if (!value.isObject())
        return std::unexpected(u"expected an object"_s);
    const QJsonObject object = value.toObject();
    const QJsonValue type = object.value(QLatin1String("type"));
    if (!type.isString())
        return std::unexpected(u"\"type\" is missing or not a string"_s);
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
    QJsonObject object { { u"type"_s, fields.type } };
    if (fields.url)
        object.insert(u"url"_s, *fields.url);
    if (fields.result)
        object.insert(u"result"_s, *fields.result);
    return object;
}

std::expected<QJsonValue, QString> JSONDecoding::parse(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return std::unexpected(
            u"not JSON: %1 at offset %2"_s.arg(error.errorString()).arg(error.offset));
    if (document.isArray())
        return QJsonValue(document.array());
    if (document.isObject())
        return QJsonValue(document.object());
    return std::unexpected(u"not a JSON object or array"_s);
}

std::expected<QString, QString> JSONDecoding::decodeString(const QJsonValue &value)
{
    if (!value.isString())
        return std::unexpected(u"expected a string"_s);
    return value.toString();
}

} // namespace FWKit
