#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <expected>

namespace FWKit {

// One upload batch of the user's account, identified by its name.
struct Batch
{
    QString batch;

    static std::expected<Batch, QString> fromJson(const QJsonValue &value);
    QJsonObject toJson() const { return { { QStringLiteral("batch"), batch } }; }

    friend bool operator==(const Batch &, const Batch &) = default;
};

} // namespace FWKit
