#pragma once

// The services' decoded answers: Batch, ResultRecord (ShrinkResult, PasteResult, AuthResult),
// and JSONDecoding, which turns a response body into them.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <expected>
#include <optional>
#include <type_traits>

namespace FWKit {

using namespace Qt::StringLiterals;

// One upload batch of the user's account, identified by its name.
struct Batch
{
    QString batch;

    static std::expected<Batch, QString> fromJson(const QJsonValue &value);
    QJsonObject toJson() const { return { { u"batch"_s, batch } }; }

    friend bool operator==(const Batch &, const Batch &) = default;
};

namespace detail {
struct ResultFields
{
    QString type;
    std::optional<QString> url;
    std::optional<QString> result;
};
std::expected<ResultFields, QString> decodeResultFields(const QJsonValue &value);
QJsonObject encodeResultFields(const ResultFields &fields);
} // namespace detail

// One answer of the shrink, paste or authenticate service. The three answers share a layout but
// are distinct types, so no call can hand one in place of another.
template<typename Service>
struct ResultRecord
{
    QString type;
    std::optional<QString> url;
    std::optional<QString> result;

    bool isNotice() const { return type == QLatin1String("notice"); }

    // Strict: "type" must be a string; "url" and "result" absent, null or a string; other keys
    // are ignored.
    static std::expected<ResultRecord, QString> fromJson(const QJsonValue &value)
    {
        auto fields = detail::decodeResultFields(value);
        if (!fields)
            return std::unexpected(fields.error());
        return ResultRecord { fields->type, fields->url, fields->result };
    }

    // Absent optionals are omitted, never written as null.
    QJsonObject toJson() const { return detail::encodeResultFields({ type, url, result }); }

    friend bool operator==(const ResultRecord &, const ResultRecord &) = default;
};

using ShrinkResult = ResultRecord<struct ShrinkService>;
using PasteResult = ResultRecord<struct PasteService>;
using AuthResult = ResultRecord<struct AuthService>;

namespace JSONDecoding {

// The top-level value of a JSON text (object or array); a parse error's description otherwise.
std::expected<QJsonValue, QString> parse(const QByteArray &body);

std::expected<QString, QString> decodeString(const QJsonValue &value);

template<typename T>
struct IsList : std::false_type
{
};
template<typename E>
struct IsList<QList<E>> : std::true_type
{
};

// T is QString, QList<E> of a decodable E, or a type with a static fromJson(QJsonValue).
// A list decodes all or nothing: one bad element fails the whole answer.
template<typename T>
std::expected<T, QString> decodeValue(const QJsonValue &value)
{
    if constexpr (std::is_same_v<T, QString>) {
        return decodeString(value);
    } else if constexpr (IsList<T>::value) {
        if (!value.isArray())
            return std::unexpected(u"expected an array"_s);
        const QJsonArray array = value.toArray();
        T list;
        list.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            auto element = decodeValue<typename T::value_type>(array.at(i));
            if (!element)
                return std::unexpected(u"element %1: %2"_s.arg(i).arg(element.error()));
            list.append(std::move(*element));
        }
        return list;
    } else {
        return T::fromJson(value);
    }
}

template<typename T>
std::expected<T, QString> decode(const QByteArray &body)
{
    auto value = parse(body);
    if (!value)
        return std::unexpected(value.error());
    return decodeValue<T>(*value);
}

} // namespace JSONDecoding
} // namespace FWKit
