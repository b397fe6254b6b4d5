#include "packets/Replies.h"

#include <stdexcept>
#include <string>

#include "packets/PacketHeader.h"
#include "packets/PacketTypes.h"
#include "packets/ReplyWriter.h"

namespace Packets::Outgoing {

namespace {

constexpr std::uint64_t F64 = sizeof(double);
constexpr std::uint64_t U32 = sizeof(std::uint32_t);
constexpr std::uint64_t RISK_TABLE_ROW_SIZE = 18 * F64;
constexpr std::uint64_t GREEKS_ENTRY_SIZE = 10 * F64;
constexpr std::uint64_t CALCULATOR_ROW_SIZE = U32 + 2 * F64;

}  // namespace

void serializeChartDataPoints(const VO::ChartDataPoints& result, ReplyBytes& reply, const ReplyBytes& requestId) {
    const std::uint64_t size = PACKET_HEADER_SIZE + 2 * sizeof(VO::ChartTable) + F64;
    ReplyWriter out(reply, result.type, result.zero, size, requestId);
    for (const VO::ChartTable* table : {&result.table1, &result.table2})
        for (const VO::ChartRow& row : *table)
            for (double value : row)
                out.put(value);
    out.put(result.stockQuantity2);
    out.finish();
}

void serializeRiskTableResult(const RiskTableResult& result, ReplyBytes& reply, const ReplyBytes& requestId) {
    const std::vector<VO::RiskTableCell>& a = result.atVolatility;
    const std::vector<VO::RiskTableCell>& b = result.volatilityDown;
    const std::vector<VO::RiskTableCell>& c = result.volatilityUp;
    if (a.size() != b.size() || a.size() != c.size())
        throw std::length_error("risk table rows of unequal lengths: " + std::to_string(a.size()) + ", " +
                                std::to_string(b.size()) + ", " + std::to_string(c.size()));
    const std::uint64_t size = PACKET_HEADER_SIZE + sizeof(float) + U32 + RISK_TABLE_ROW_SIZE * a.size();
    ReplyWriter out(reply, result.type, result.zero, size, requestId);
    out.put(result.middlePrice).put(static_cast<std::uint32_t>(a.size()));
    // The wire's order of the quantities is not the cell's member order.
    for (std::size_t i = 0; i < a.size(); ++i) {
        out.put(a[i].value).put(b[i].value).put(c[i].value);
        out.put(a[i].delta).put(b[i].delta).put(c[i].delta);
        out.put(a[i].gamma).put(b[i].gamma).put(c[i].gamma);
        out.put(a[i].rho).put(b[i].rho).put(c[i].rho);
        out.put(a[i].theta).put(b[i].theta).put(c[i].theta);
        out.put(a[i].vega).put(b[i].vega).put(c[i].vega);
    }
    out.finish();
}

void serializeGreeksByExpirationResult(const GreeksByExpirationResult& result, ReplyBytes& reply,
                                       const ReplyBytes& requestId) {
    const std::uint64_t size = PACKET_HEADER_SIZE + U32 + GREEKS_ENTRY_SIZE * result.entries.size();
    ReplyWriter out(reply, result.type, result.zero, size, requestId);
    out.put(static_cast<std::uint32_t>(result.entries.size()));
    for (const GreeksByExpirationEntry& e : result.entries) {
        out.put(e.expiration).put(e.dollarDelta).put(e.delta).put(e.gamma).put(e.theta);
        out.put(e.vega).put(e.rho).put(e.timeValue).put(e.callQuantity).put(e.putQuantity);
    }
    out.finish();
}

void serializeOptionCalculatorResult(const OptionCalculatorResult& result, ReplyBytes& reply,
                                     const ReplyBytes& requestId) {
    std::uint64_t size = PACKET_HEADER_SIZE + U32;
    for (const OptionCalculatorResult::Row& row : result.rows)
        size += CALCULATOR_ROW_SIZE + row.label.size();
    ReplyWriter out(reply, result.type, result.zero, size, requestId);
    out.put(static_cast<std::uint32_t>(result.rows.size()));
    for (const OptionCalculatorResult::Row& row : result.rows)
        out.putString(row.label).put(row.call).put(row.put);
    out.finish();
}

void serializeImpliedVolatilityResult(double volatility, ReplyBytes& reply, const ReplyBytes& requestId) {
    ReplyWriter out(reply, IMPLIED_VOLATILITY_RESULT, 0, PACKET_HEADER_SIZE + F64, requestId);
    out.put(volatility);
    out.finish();
}

void serializeServiceInfoResult(const ServiceInfoResult& result, ReplyBytes& reply, const ReplyBytes& requestId) {
    const std::uint64_t size =
        PACKET_HEADER_SIZE + U32 + result.version.size() + U32 + result.updateServer.size() + U32;
    ReplyWriter out(reply, REQUEST_SERVICE_INFO, 0, size, requestId);
    out.putString(result.version).putString(result.updateServer).put(result.protocolVersion);
    out.finish();
}

}  // namespace Packets::Outgoing
