// The stored shortcut configuration: the settings file is user-writable, so its JSON is untrusted.
#include "FuzzInput.h"

#include <FWKit/HotkeyConfiguration.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <map>

using namespace FWKit;
using FWFuzz::check;

namespace {

// Compared as doubles, the way JSON holds numbers, so a fraction or a wrapped value shows.
bool holdsExactly(const QJsonValue &value, std::uint32_t number)
{
    return value.isDouble() && value.toDouble() == double(number);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray json = FWFuzz::bytes(data, size);
    const auto configuration = FWHotkeyConfiguration::fromJson(json);
    if (!configuration) {
        check(!configuration.error().isEmpty(), "a refusal says why");
        return 0;
    }

    const QByteArray encoded = configuration->toJson();
    const auto decoded = FWHotkeyConfiguration::fromJson(encoded);
    check(decoded && *decoded == *configuration, "fromJson(toJson(c)) == c", encoded);
    check(decoded->toJson() == encoded, "toJson is stable", encoded);

    // Accepted input is an object whose "combos" alternates action and combo; each action holds
    // the combo of its last pair, with the numbers exactly as written, and nothing is filled in.
    const QJsonArray pairs =
        QJsonDocument::fromJson(json).object().value(QLatin1String("combos")).toArray();
    check(pairs.size() % 2 == 0, "combos has whole pairs");
    std::map<FWHotkeyAction, QJsonObject> last;
    for (qsizetype i = 0; i < pairs.size(); i += 2) {
        const QJsonValue raw = pairs.at(i);
        check(raw.isDouble() && raw.toDouble() >= 1 && raw.toDouble() <= 4 &&
                raw.toDouble() == double(qint64(raw.toDouble())),
            "every action is a whole number from 1 to 4");
        last[FWHotkeyAction(int(raw.toDouble()))] = pairs.at(i + 1).toObject();
    }
    check(last.size() == configuration->combos.size(), "exactly the listed actions have combos");
    for (const auto &[action, combo] : configuration->combos) {
        const auto listed = last.find(action);
        check(listed != last.end(), "no action is filled in");
        check(holdsExactly(listed->second.value(QLatin1String("keyCode")), combo.keyCode) &&
                holdsExactly(listed->second.value(QLatin1String("modifiers")), combo.modifiers),
            "a combo holds its last pair's numbers exactly", encoded);
    }
    return 0;
}
