#pragma once

#include <QHashFunctions>

#include <cstdint>

namespace FWKit {

// One reservation held with the system. Opaque: only the backend that issued it knows what it
// stands for. Whoever registered owns it and gives it back through unregister.
struct FWHotkeyRef
{
    std::uint64_t value = 0;

    friend bool operator==(const FWHotkeyRef &, const FWHotkeyRef &) = default;
};

inline size_t qHash(FWHotkeyRef ref, size_t seed = 0)
{
    return ::qHash(ref.value, seed);
}

} // namespace FWKit
