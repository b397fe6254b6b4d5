// What the bridge's tests share: the bridge bound once per program to the scriptable fake library,
// local wire times, and reading values out of a packet.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "brkCommon/FakeCalcsLibrary.h"
#include "calcdll_api/DllBridge.h"
#include "packets/IndividualOptionsPacket.h"
#include "platform/DynamicLibrary.h"
#include "support/TempDir.h"
#include "support/LocalTime.h"
#include "support/WireWriter.h"

namespace bridgetest {

// The fake's record of its host; the bridge is loaded with the fake on first use.
inline FakeCalcsCalls& boundFake() {
    static FakeCalcsCalls& calls = []() -> FakeCalcsCalls& {
        static testsupport::TempDir logs;
        EXPECT_TRUE(InitCalcDLL("fakecalcscomplete.dll", (logs.str() + "/bridge%Y.log").c_str()));
        std::string error;
        platform::ModuleHandle handle = platform::LoadLibrary("fakecalcscomplete.dll", error);
        auto recorded = reinterpret_cast<PFN_FakeCalcsRecorded>(platform::GetProcAddress(handle, "FakeCalcsRecorded"));
        return *recorded();
    }();
    return calls;
}

// Each test scripts the fake afresh and starts with an empty bridge.
class BridgeWithFake : public ::testing::Test {
protected:
    void SetUp() override {
        fake().hooks = FakeCalcsHooks{};
        ExternalCalcs::Clear();
    }
    void TearDown() override { fake().hooks = FakeCalcsHooks{}; }
    static FakeCalcsCalls& fake() { return boundFake(); }
};

using testsupport::localMs;
using wiretest::valueAt;

inline Packets::Incoming::IndividualOption optionQuote(std::int64_t id, float strike, bool put, double volatility,
                                                      float bid, float ask) {
    Packets::Incoming::IndividualOption o;
    o.foreignId = id;
    o.strike = strike;
    o.isPut = put ? 1 : 0;
    o.userVolatility = volatility;
    o.bid = bid;
    o.ask = ask;
    return o;
}

}  // namespace bridgetest
