// The option calculator and implied volatility with the real calculation library, against the
// published Black-Scholes values of the textbook European option (S = K = 100, one year, r = b = 5 %,
// volatility 20 %: call 10.4506, put 5.5735), which a 1,001-step binomial tree approaches.
#include <gtest/gtest.h>

#include "CalcsService/calcdll_api/BridgeTestSupport.h"
#include "HandlerTestSupport.h"
#include "handlers/ModelHandlers.h"
#include "support/OptionCalculatorBody.h"

namespace {

using bridgetest::valueAt;
using handlertest::run;
using wiretest::calculatorBody;

class LibraryHandlers : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InitCalcDLL("brkcalcslib.dll", (logs.str() + "/lib%Y.log").c_str())); }
    static void TearDownTestSuite() { ExternalCalculations::ReleaseCalcDll(); }
    static testsupport::TempDir logs;
};
testsupport::TempDir LibraryHandlers::logs;

TEST_F(LibraryHandlers, TheCalculatorPricesTheTextbookEuropeanOption) {
    Handlers::OptionCalculatorHandler handler;
    const auto reply = run(handler, calculatorBody(1001));
    ASSERT_EQ(reply.size(), 191u);
    handlertest::expectReplyHeader(reply, 1025);
    EXPECT_NEAR(valueAt<double>(reply, 53), 10.4486, 5e-5);  // call
    EXPECT_NEAR(valueAt<double>(reply, 61), 5.5715, 5e-5);   // put
    // Delta row, N(d1) = 0.6368 and N(d1) - 1, as the library scales them: percent, the put's unsigned.
    EXPECT_NEAR(valueAt<double>(reply, 69 + 4 + 5), 63.68, 1e-2);
    EXPECT_NEAR(valueAt<double>(reply, 69 + 4 + 5 + 8), 36.32, 1e-2);
}

TEST_F(LibraryHandlers, TheImpliedVolatilityOfTheTextbookPricesIsTwentyPercent) {
    Handlers::VolatilityHandler handler;
    // The client sends twice the price.
    const auto reply = run(handler, calculatorBody(100, 2 * 5.5735, 2 * 10.4506));
    ASSERT_EQ(reply.size(), 36u);
    handlertest::expectReplyHeader(reply, 1027);
    EXPECT_NEAR(valueAt<double>(reply, 28), 20.0, 0.05);
}

}  // namespace
