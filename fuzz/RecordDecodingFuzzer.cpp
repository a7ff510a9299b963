// The service answers as the client decodes them: the three result records, the batch list and
// the language list, each from the same untrusted body.
#include "FuzzInput.h"

#include <FWKit/Records.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

using namespace FWKit;
using FWFuzz::check;

namespace {

QJsonValue encoded(const QString &text)
{
    return text;
}

QJsonValue encoded(const Batch &batch)
{
    return batch.toJson();
}

template<typename Service>
QJsonValue encoded(const ResultRecord<Service> &record)
{
    return record.toJson();
}

template<typename E>
QJsonValue encoded(const QList<E> &list)
{
    QJsonArray array;
    for (const E &element : list)
        array.append(encoded(element));
    return array;
}

QByteArray jsonText(const QJsonValue &value)
{
    const QJsonDocument document =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    return document.toJson(QJsonDocument::Compact);
}

// Whatever decodes re-encodes to JSON that decodes to the same value, both as a JSON value and
// through JSON text (Qt writes a lone surrogate as a \uD800 escape and reads it back).
template<typename T>
std::optional<T> decodeAndRoundTrip(const QByteArray &body)
{
    const auto decoded = JSONDecoding::decode<T>(body);
    if (!decoded) {
        check(!decoded.error().isEmpty(), "a refusal says why");
        return std::nullopt;
    }
    const QJsonValue value = encoded(*decoded);
    check(JSONDecoding::decodeValue<T>(value) == decoded, "decodeValue(encode(x)) == x");
    check(JSONDecoding::decode<T>(jsonText(value)) == decoded, "decode(text(encode(x))) == x",
        jsonText(value));
    return *decoded;
}

bool isAbsentNullOrString(const QJsonValue &value)
{
    return value.isUndefined() || value.isNull() || value.isString();
}

std::optional<QString> optionalString(const QJsonValue &value)
{
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

void checkRecords(const QByteArray &body, const std::optional<QJsonValue> &parsed)
{
    const auto shrink = decodeAndRoundTrip<ShrinkResult>(body);
    const auto paste = decodeAndRoundTrip<PasteResult>(body);
    const auto auth = decodeAndRoundTrip<AuthResult>(body);

    // The three answers share one layout: they accept the same bodies with the same fields.
    check(paste.has_value() == shrink.has_value() && auth.has_value() == shrink.has_value(),
        "the three records accept the same bodies");
    if (shrink) {
        check(paste->type == shrink->type && paste->url == shrink->url &&
                paste->result == shrink->result && auth->type == shrink->type &&
                auth->url == shrink->url && auth->result == shrink->result,
            "the three records decode the same fields");
        check(shrink->isNotice() == (shrink->type == QLatin1String("notice")),
            "isNotice is type == \"notice\"");
    }

    // Strict: "type" a string, "url" and "result" absent, null or a string, the rest ignored.
    const bool acceptable = parsed && parsed->isObject() &&
        parsed->toObject().value(QLatin1String("type")).isString() &&
        isAbsentNullOrString(parsed->toObject().value(QLatin1String("url"))) &&
        isAbsentNullOrString(parsed->toObject().value(QLatin1String("result")));
    check(shrink.has_value() == acceptable, "a record is accepted exactly when its fields are");
    if (shrink) {
        const QJsonObject object = parsed->toObject();
        check(shrink->type == object.value(QLatin1String("type")).toString() &&
                shrink->url == optionalString(object.value(QLatin1String("url"))) &&
                shrink->result == optionalString(object.value(QLatin1String("result"))),
            "a record holds the body's fields (null reads as absent)");
    }
}

// A list decodes all or nothing, element by element as each element decodes on its own.
template<typename E>
void checkList(const QByteArray &body, const std::optional<QJsonValue> &parsed)
{
    const auto list = decodeAndRoundTrip<QList<E>>(body);
    if (!parsed || !parsed->isArray()) {
        check(!list, "only an array decodes as a list");
        return;
    }
    const QJsonArray array = parsed->toArray();
    bool everyElement = true;
    for (qsizetype i = 0; i < array.size(); ++i) {
        const auto element = JSONDecoding::decodeValue<E>(array.at(i));
        everyElement = everyElement && element.has_value();
        if (list && element)
            check(list->at(i) == *element, "a list holds its elements in order");
    }
    check(list.has_value() == everyElement, "a list decodes exactly when every element does");
    if (list)
        check(list->size() == array.size(), "a list keeps every element");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray body = FWFuzz::bytes(data, size);
    const auto parsed = JSONDecoding::parse(body);
    check(parsed || !parsed.error().isEmpty(), "a parse failure says why");
    const std::optional<QJsonValue> value =
        parsed ? std::optional(*parsed) : std::optional<QJsonValue>();
    check(!value || value->isObject() || value->isArray(), "the top level is an object or array");

    checkRecords(body, value);
    checkList<Batch>(body, value);
    checkList<QString>(body, value);
    return 0;
}
