#include "Misbehaviour.h"

#include "Encoding.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QVariant>

#include <algorithm>
#include <array>

namespace FWFake {

using namespace std::chrono_literals;

namespace {

// Every number here is an integer. 1.0 and 1e3 read as integers too; 1.5 and numbers beyond 64
// bits do not.
bool hasType(const QJsonValue &value, QJsonValue::Type type)
{
    return value.type() == type &&
        (type != QJsonValue::Double || value.toVariant().typeId() == QMetaType::LongLong);
}

struct Key
{
    QStringView name;
    QJsonValue::Type type;
    std::string_view typeName;
};

constexpr std::array keys { Key { u"path", QJsonValue::String, "a string" },
    Key { u"count", QJsonValue::Double, "an integer" },
    Key { u"status", QJsonValue::Double, "an integer" },
    Key { u"body", QJsonValue::String, "a string" },
    Key { u"bodyBase64", QJsonValue::String, "a string" },
    Key { u"contentType", QJsonValue::String, "a string" },
    Key { u"location", QJsonValue::String, "a string" },
    Key { u"delayMs", QJsonValue::Double, "an integer" },
    Key { u"close", QJsonValue::Bool, "true or false" },
    Key { u"cutOff", QJsonValue::Bool, "true or false" } };

std::optional<std::string> string(const QJsonObject &object, QStringView key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return std::nullopt;
    return value.toString().toStdString();
}

bool hasLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

std::expected<Misbehaviour, std::string> Misbehaviour::fromJson(std::string_view json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray(json.data(), static_cast<qsizetype>(json.size())), &error);
    if (error.error != QJsonParseError::NoError)
        return std::unexpected(
            error.errorString().toStdString() + " at offset " + std::to_string(error.offset));
    if (!document.isObject())
        return std::unexpected("expected an object");
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const auto key = std::ranges::find(keys, it.key(), &Key::name);
        if (key == keys.end())
            return std::unexpected("unknown key " + it.key().toStdString());
        if (!hasType(it.value(), key->type))
            return std::unexpected(
                it.key().toStdString() + " must be " + std::string(key->typeName));
    }

    Misbehaviour result;
    result.path = string(object, u"path").value_or("");
    if (!result.path.starts_with('/'))
        return std::unexpected("path must start with '/'");
    result.count = object.value(u"count").toInteger(1);
    if (result.count < 0)
        return std::unexpected("count must not be negative (0: until reset)");
    if (object.contains(u"status")) {
        const qint64 status = object.value(u"status").toInteger();
        if (status < 200 || status > 599)
            return std::unexpected("status must be from 200 to 599");
        result.status = static_cast<int>(status);
    }
    result.body = string(object, u"body");
    if (const auto encoded = string(object, u"bodyBase64")) {
        if (result.body)
            return std::unexpected("give body or bodyBase64, not both");
        result.body = base64Decode(*encoded);
        if (!result.body)
            return std::unexpected("bodyBase64 is not Base64");
    }
    result.contentType = string(object, u"contentType").value_or(result.contentType);
    result.location = string(object, u"location");
    // Bounded: the wait counts in 64-bit nanoseconds, which overflow past 292 years.
    result.delay = std::chrono::milliseconds(object.value(u"delayMs").toInteger(0));
    if (result.delay < 0ms || result.delay > 24h)
        return std::unexpected("delayMs must be from 0 to 86400000 (a day)");
    result.close = object.value(u"close").toBool(false);
    result.cutOff = object.value(u"cutOff").toBool(false);
    if (result.cutOff && (!result.body || result.body->size() < 2))
        return std::unexpected("cutOff needs a body of two bytes or more");
    if (hasLineBreak(result.contentType) || hasLineBreak(result.location.value_or("")))
        return std::unexpected("a header value must not contain a line break");
    return result;
}

} // namespace FWFake
