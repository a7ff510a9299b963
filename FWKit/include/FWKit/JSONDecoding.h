#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <expected>
#include <type_traits>

namespace FWKit::JSONDecoding {

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
            return std::unexpected(QStringLiteral("expected an array"));
        const QJsonArray array = value.toArray();
        T list;
        list.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            auto element = decodeValue<typename T::value_type>(array.at(i));
            if (!element)
                return std::unexpected(
                    QStringLiteral("element %1: %2").arg(i).arg(element.error()));
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

} // namespace FWKit::JSONDecoding
