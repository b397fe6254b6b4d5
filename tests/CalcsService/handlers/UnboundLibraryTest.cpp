// Requests that need the calculation library while none is bound: each failure is logged with its
// handler's line, no reply goes out, and the next request is served.
#include <gtest/gtest.h>

#include "HandlerTestSupport.h"
#include "handlers/HandlerRegistry.h"
#include "service/ModuleInfo.h"
#include "support/LogMessages.h"
#include "support/OptionCalculatorBody.h"
#include "support/TempDir.h"
#include "support/WireWriter.h"

namespace {

using handlertest::anyContains;
using wiretest::makePacket;
using wiretest::WireWriter;

class UnboundLibrary : public ::testing::Test {
protected:
    UnboundLibrary() : m_processor(Handlers::calculationHandlers()) {
        g_strModuleDir = m_moduleDir.str();  // the configuration's folder
        testsupport::LogMessages::instance().take();
    }

    // The reply to one request, and the lines it logged.
    std::vector<std::uint8_t> process(std::uint32_t type, const WireWriter& body) {
        std::vector<std::uint8_t> reply;
        EXPECT_EQ(m_processor.process(makePacket(type, body.data()), reply), static_cast<int>(type));
        m_lines = testsupport::LogMessages::instance().take();
        return reply;
    }

    testsupport::TempDir m_moduleDir;
    Packets::PacketProcessor m_processor;
    std::vector<std::string> m_lines;
};

TEST_F(UnboundLibrary, EachHandlerLogsItsLineAndSendsNoReply) {
    WireWriter tree;
    tree.f64(1.7e12).str("UNB").str("UNB").i32(0);
    EXPECT_TRUE(process(279, tree).empty());
    EXPECT_TRUE(anyContains(m_lines, "fatal: cauth unknown exception, SEH?"));

    WireWriter tree3 = tree;
    EXPECT_TRUE(process(281, tree3).empty());
    EXPECT_TRUE(anyContains(m_lines, "fatal: BuildOptionsTreeHandler cauth unknown exception, SEH?"));

    WireWriter table;  // one position whose time the library would have to give
    table.str("UNB").u8(0).f32(0).f64(1.7e12).f64(1.6e12).f32(100).f32(0).f32(0).u8(1).u32(1).f32(100).u32(1);
    table.i64(7).f32(100).f64(1.8e12).f32(20).f32(1).u8(0).f32(0).f64(0).f32(0.05f).f32(0.05f).u32(0).f64(0.5);
    table.f32(1).u8(0).f32(0).f32(0);
    EXPECT_TRUE(process(512, table).empty());
    EXPECT_TRUE(anyContains(m_lines, "error: RiskTableHandler::handlem_pfGetWeightedTimeToExpiration is null"));

    const WireWriter calculator = WireWriter().append(wiretest::calculatorBody(100, 5, 10));
    EXPECT_TRUE(process(1026, calculator).empty());
    EXPECT_TRUE(anyContains(m_lines, "fatal: VolatilityHandler cauth unknown exception, SEH?"));

    EXPECT_TRUE(process(1024, calculator).empty());
    EXPECT_TRUE(anyContains(m_lines, "error: PacketProcessor has cought exception:m_pfCalcGreeks is null"));

    WireWriter dump;
    dump.str("UNB");
    EXPECT_TRUE(process(2049, dump).empty());
    EXPECT_TRUE(anyContains(m_lines, "error: PacketProcessor has cought exception:m_pfDumpStock is null"));

    // The service's own requests still work.
    const auto reply = process(1536, WireWriter());
    ASSERT_GE(reply.size(), 40u);
    EXPECT_EQ(reply[0] | reply[1] << 8, 1536);
}

}  // namespace
