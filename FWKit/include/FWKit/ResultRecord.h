#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <expected>
#include <optional>

namespace FWKit {

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

} // namespace FWKit
