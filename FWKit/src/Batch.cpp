#include <FWKit/Batch.h>

namespace FWKit {

std::expected<Batch, QString> Batch::fromJson(const QJsonValue &value)
{
    if (!value.isObject())
        return std::unexpected(QStringLiteral("expected a batch object"));
    const QJsonValue name = value.toObject().value(QLatin1String("batch"));
    if (!name.isString())
        return std::unexpected(QStringLiteral("\"batch\" is missing or not a string"));
    return Batch { name.toString() };
}

} // namespace FWKit
