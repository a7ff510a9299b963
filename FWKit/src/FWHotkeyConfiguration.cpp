#include <FWKit/FWHotkeyConfiguration.h>
#include <FWKit/Records.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <limits>

namespace FWKit {

namespace {
constexpr std::uint32_t defaultModifiers =
    FWModifier::command | FWModifier::shift | FWModifier::option;

// toInteger() also rejects fractions, strings, booleans and null (they give the -1 fallback).
std::optional<std::uint32_t> decodeUInt32(const QJsonValue &value)
{
    const qint64 number = value.toInteger(-1);
    if (number < 0 || number > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(number);
}

std::expected<FWKeyCombo, QString> decodeCombo(const QJsonValue &value)
{
    if (!value.isObject())
        return std::unexpected(QStringLiteral("expected a combo object"));
    const QJsonObject object = value.toObject();
    const auto keyCode = decodeUInt32(object.value(QLatin1String("keyCode")));
    if (!keyCode)
        return std::unexpected(QStringLiteral("keyCode is not an unsigned 32-bit integer"));
    const auto modifiers = decodeUInt32(object.value(QLatin1String("modifiers")));
    if (!modifiers)
        return std::unexpected(QStringLiteral("modifiers is not an unsigned 32-bit integer"));
    return FWKeyCombo { *keyCode, *modifiers };
}
} // namespace

std::optional<FWKeyCombo> FWHotkeyConfiguration::combo(FWHotkeyAction action) const
{
    const auto entry = combos.find(action);
    if (entry == combos.end())
        return std::nullopt;
    return entry->second;
}

void FWHotkeyConfiguration::setCombo(FWHotkeyAction action, std::optional<FWKeyCombo> combo)
{
    if (combo)
        combos.insert_or_assign(action, *combo);
    else
        combos.erase(action);
}

const FWHotkeyConfiguration &FWHotkeyConfiguration::defaults()
{
    static const FWHotkeyConfiguration configuration { {
        { FWHotkeyAction::newBatch, { 11, defaultModifiers } },
        { FWHotkeyAction::openFerrowick, { 31, defaultModifiers } },
        { FWHotkeyAction::togglePaste, { 35, defaultModifiers } },
        { FWHotkeyAction::newShrink, { 1, defaultModifiers } },
    } };
    return configuration;
}

bool FWHotkeyConfiguration::isValid(const FWKeyCombo &combo)
{
    return (combo.modifiers & (FWModifier::command | FWModifier::option | FWModifier::control)) !=
        0;
}

bool FWHotkeyConfiguration::isBindable(std::uint32_t keyCode)
{
    // Right Command, Command, Shift, Caps Lock, Option, Control, right Shift, right Option,
    // right Control, Function.
    return keyCode < 54 || keyCode > 63;
}

bool FWHotkeyConfiguration::isDuplicate(const FWKeyCombo &combo, FWHotkeyAction action) const
{
    if (this->combo(action) == combo)
        return false;
    return std::ranges::any_of(
        combos, [&](const auto &entry) { return entry.first != action && entry.second == combo; });
}

bool FWHotkeyConfiguration::hasDuplicates() const
{
    QSet<FWKeyCombo> distinct;
    for (const auto &[action, combo] : combos)
        distinct.insert(combo);
    return distinct.size() < qsizetype(combos.size());
}

QByteArray FWHotkeyConfiguration::toJson() const
{
    QJsonArray pairs;
    for (const auto &[action, combo] : combos) {
        pairs.append(rawValue(action));
        pairs.append(QJsonObject {
            { QLatin1String("keyCode"), qint64(combo.keyCode) },
            { QLatin1String("modifiers"), qint64(combo.modifiers) },
        });
    }
    return QJsonDocument(QJsonObject { { QLatin1String("combos"), pairs } })
        .toJson(QJsonDocument::Compact);
}

std::expected<FWHotkeyConfiguration, QString> FWHotkeyConfiguration::fromJson(
    const QByteArray &json)
{
    const auto document = JSONDecoding::parse(json);
    if (!document)
        return std::unexpected(document.error());
    if (!document->isObject())
        return std::unexpected(QStringLiteral("expected an object"));
    const QJsonValue combos = document->toObject().value(QLatin1String("combos"));
    if (!combos.isArray())
        return std::unexpected(QStringLiteral("combos is missing or not an array"));
    const QJsonArray pairs = combos.toArray();
    if (pairs.size() % 2 != 0)
        return std::unexpected(QStringLiteral("combos has an odd number of elements"));

    FWHotkeyConfiguration configuration;
    for (qsizetype i = 0; i < pairs.size(); i += 2) {
        const QJsonValue key = pairs.at(i);
        // -1 for anything that is not an integer, which no action has.
        const auto action = hotkeyActionFromRaw(key.toInteger(-1));
        if (!action)
            return std::unexpected(QStringLiteral("element %1: not an action").arg(i));
        auto combo = decodeCombo(pairs.at(i + 1));
        if (!combo)
            return std::unexpected(QStringLiteral("element %1: %2").arg(i + 1).arg(combo.error()));
        configuration.combos.insert_or_assign(*action, *combo);
    }
    return configuration;
}

} // namespace FWKit
