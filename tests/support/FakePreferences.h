#pragma once

#include <FWKit/Desktop.h>

#include <QHash>

#include <functional>
#include <variant>

namespace FWTest {

// Preferences in memory, typed as QSettings hands values back: a string read as data, or data
// read as a string, is nothing. Writes can be dropped or altered on their way in.
class FakePreferences final : public FWKit::PreferencesStoring
{
public:
    using Value = std::variant<QString, QByteArray>;

    QHash<QString, Value> values;
    // setData() and remove() change nothing, as with a read-only settings file.
    bool dropWrites = false;
    // Applied to bytes as they are stored: a store that keeps something else than it was given.
    std::function<QByteArray(const QByteArray &)> alterWrites;
    // Calls, including dropped ones.
    int writes = 0;
    int removals = 0;
    int syncs = 0;

    // Seeds a string, as an older version of the application left it.
    void setString(const QString &key, const QString &value) { values.insert(key, value); }

    std::optional<QString> string(const QString &key) const override { return typed<QString>(key); }
    std::optional<QByteArray> data(const QString &key) const override
    {
        return typed<QByteArray>(key);
    }
    void setData(const QString &key, const QByteArray &value) override
    {
        ++writes;
        if (!dropWrites)
            values.insert(key, alterWrites ? alterWrites(value) : value);
    }
    void remove(const QString &key) override
    {
        ++removals;
        if (!dropWrites)
            values.remove(key);
    }
    void sync() override { ++syncs; }

private:
    template<typename T>
    std::optional<T> typed(const QString &key) const
    {
        const auto value = values.constFind(key);
        if (value == values.cend() || !std::holds_alternative<T>(*value))
            return std::nullopt;
        return std::get<T>(*value);
    }
};

} // namespace FWTest
