// A stock settings request of many distinct expirations and dividends, for the tests of the bounds.
#pragma once

#include <cstdint>
#include <string>

#include "CalcsService/calcdll_api/BridgeTestSupport.h"
#include "support/WireWriter.h"

namespace handlertest {

// Settings for `symbol` with `expirations` expirations and `dividends` dividends, all different.
inline wiretest::WireWriter longSettingsBody(const std::string& symbol, std::uint32_t expirations,
                                             std::uint32_t dividends) {
    using bridgetest::localMs;
    wiretest::WireWriter w;
    w.f64(localMs(2024, 1, 2)).str(symbol).u8(0).u32(expirations);
    for (std::uint32_t i = 0; i < expirations; ++i)
        w.f64(localMs(2024, 6, 21) + 60000.0 * i);
    w.u32(0);
    for (std::uint32_t i = 0; i < expirations; ++i)
        w.f32(0.01f).f32(0.02f);
    w.u32(dividends);
    for (std::uint32_t i = 0; i < dividends; ++i)
        w.f64(localMs(2024, 3, 1) + 60000.0 * i).f32(0.5f).i32(0);
    return w;
}

}  // namespace handlertest
