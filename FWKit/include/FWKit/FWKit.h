#pragma once

namespace FWKit {

// The library's own version, independent of the application's.
inline constexpr const char *moduleVersion = "1.0.0";

} // namespace FWKit
