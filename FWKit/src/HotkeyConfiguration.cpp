#include <FWKit/HotkeyConfiguration.h>
#include <FWKit/Records.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

using namespace Qt::StringLiterals;

namespace FWKit {

const char *hotkeyActionName(FWHotkeyAction action)
{
    switch (action) {
    case FWHotkeyAction::newBatch:
        return "newBatch";
    case FWHotkeyAction::openFerrowick:
        return "openFerrowick";
    case FWHotkeyAction::togglePaste:
        return "togglePaste";
    case FWHotkeyAction::newShrink:
        return "newShrink";
    }
    return "unknown";
}

namespace {
// Key positions named as on a US keyboard. Keys without a name here (Return, Space, arrows,
// keypad, ...) show as "key#N".
constexpr std::array<std::pair<std::uint32_t, const char *>, 59> keyNames { { { 0, "A" },
    { 1, "S" }, { 2, "D" }, { 3, "F" }, { 4, "H" }, { 5, "G" }, { 6, "Z" }, { 7, "X" }, { 8, "C" },
    { 9, "V" }, { 11, "B" }, { 12, "Q" }, { 13, "W" }, { 14, "E" }, { 15, "R" }, { 16, "Y" },
    { 17, "T" }, { 31, "O" }, { 32, "U" }, { 34, "I" }, { 35, "P" }, { 37, "L" }, { 38, "J" },
    { 40, "K" }, { 45, "N" }, { 46, "M" }, { 18, "1" }, { 19, "2" }, { 20, "3" }, { 21, "4" },
    { 22, "6" }, { 23, "5" }, { 25, "9" }, { 26, "7" }, { 28, "8" }, { 29, "0" }, { 24, "=" },
    { 27, "-" }, { 30, "]" }, { 33, "[" }, { 39, "'" }, { 41, ";" }, { 42, "\\" }, { 43, "," },
    { 44, "/" }, { 47, "." }, { 50, "`" }, { 122, "F1" }, { 120, "F2" }, { 99, "F3" },
    { 118, "F4" }, { 96, "F5" }, { 97, "F6" }, { 98, "F7" }, { 100, "F8" }, { 101, "F9" },
    { 109, "F10" }, { 103, "F11" }, { 111, "F12" } } };

// The order the glyphs are always shown in, whatever order the bits were set in.
constexpr std::array<std::pair<std::uint32_t, char16_t>, 4> modifierGlyphs { {
    { FWModifier::control, u'\u2303' },
    { FWModifier::option, u'\u2325' },
    { FWModifier::shift, u'\u21E7' },
    { FWModifier::command, u'\u2318' },
} };
} // namespace

QString FWKeyCombo::displayString() const
{
    QString text;
    for (const auto &[bit, glyph] : modifierGlyphs) {
        if (modifiers & bit)
            text += QChar(glyph);
    }
    for (const auto &[code, name] : keyNames) {
        if (code == keyCode)
            return text + QLatin1String(name);
    }
    return text + u"key#"_s + QString::number(keyCode);
}

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
        return std::unexpected(u"expected a combo object"_s);
    const QJsonObject object = value.toObject();
    const auto keyCode = decodeUInt32(object.value(QLatin1String("keyCode")));
    if (!keyCode)
        return std::unexpected(u"keyCode is not an unsigned 32-bit integer"_s);
    const auto modifiers = decodeUInt32(object.value(QLatin1String("modifiers")));
    if (!modifiers)
        return std::unexpected(u"modifiers is not an unsigned 32-bit integer"_s);
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
        return std::unexpected(u"expected an object"_s);
    const QJsonValue combos = document->toObject().value(QLatin1String("combos"));
    if (!combos.isArray())
        return std::unexpected(u"combos is missing or not an array"_s);
    const QJsonArray pairs = combos.toArray();
    if (pairs.size() % 2 != 0)
        return std::unexpected(u"combos has an odd number of elements"_s);

    FWHotkeyConfiguration configuration;
    for (qsizetype i = 0; i < pairs.size(); i += 2) {
        const QJsonValue key = pairs.at(i);
        // -1 for anything that is not an integer, which no action has.
        const auto action = hotkeyActionFromRaw(key.toInteger(-1));
        if (!action)
            return std::unexpected(u"element %1: not an action"_s.arg(i));
        auto combo = decodeCombo(pairs.at(i + 1));
        if (!combo)
            return std::unexpected(u"element %1: %2"_s.arg(i + 1).arg(combo.error()));
        configuration.combos.insert_or_assign(*action, *combo);
    }
    return configuration;
}

} // namespace FWKit
