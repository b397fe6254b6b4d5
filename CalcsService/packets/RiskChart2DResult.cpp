#include "packets/RiskChart2DResult.h"

#include <algorithm>

#include "packets/PacketHeader.h"
#include "packets/ReplyWriter.h"

namespace Packets::Outgoing {

namespace {

constexpr std::uint64_t GREEKS_RECORD_SIZE = 80;
constexpr std::uint64_t ROW_SIZE = RISK_CURVE_COUNT * sizeof(double);

// Exactly n values: the curve's first n, then zeros.
void putCurve(ReplyWriter& out, const std::vector<double>& curve, std::size_t n) {
    const std::size_t have = std::min(curve.size(), n);
    out.putBytes(curve.data(), have * sizeof(double));
    for (std::size_t i = have; i < n; ++i)
        out.put(0.0);
}

void putGreeks(ReplyWriter& out, double key, const GREEKS_BY_EXP& g) {
    out.put(key).put(g.dollarDelta).put(g.delta).put(g.gamma).put(g.timeValue).put(g.rho).put(g.theta);
    out.put(g.contracts).put(static_cast<std::uint32_t>(g.callContracts)).put(static_cast<std::uint32_t>(g.putContracts));
    out.put(g.vega);
}

std::size_t pointCount(const RiskChart2DResult& result) { return result.curves[0].size(); }

}  // namespace

std::uint64_t riskChart2DReplySize(const RiskChart2DResult& result) {
    const std::uint64_t n = pointCount(result);
    std::uint64_t size = PACKET_HEADER_SIZE + 4 + ROW_SIZE * n + 4 + GREEKS_RECORD_SIZE * result.greeks.size();
    size += 4;
    for (const StockCurve& stock : result.stockCurves)
        size += 4 + stock.symbol.size() + 8 * n * stock.curves.size();
    size += 4;
    for (const StockStrikes& stock : result.strikeLists)
        size += 8 + stock.symbol.size() + 8 * stock.strikes.size();
    size += 4;
    for (const StockStrikeTable& stock : result.strikeTables)
        size += 8 + stock.symbol.size() + ROW_SIZE * stock.rows.size();
    return size;
}

std::uint64_t riskChart2DReplySizeBound(const Packets::Incoming::RiskChart2DInputsPacket& inputs) {
    const std::uint64_t n = std::uint64_t{inputs.steps} + 1;
    const bool tables = inputs.skipStrikeTables == 0;
    std::uint64_t positions = 0;
    // The curves, then the four counts of the lists.
    std::uint64_t size = PACKET_HEADER_SIZE + 4 + ROW_SIZE * n + 4 + 4 + 4 + 4;
    for (const auto& stock : inputs.stocks) {
        const std::uint64_t symbol = stock->symbol.size(), m = stock->positions.size();
        positions += m;
        size += 4 + symbol + 8 * n;
        if (tables)
            size += (8 + symbol + 8 * m) + (8 + symbol + ROW_SIZE * m);
    }
    // Besides the expirations, the stocks' entry and the total.
    return size + GREEKS_RECORD_SIZE * (positions + 2);
}

void serializeRiskChart2DResult(const RiskChart2DResult& result, std::vector<std::uint8_t>& reply,
                                const std::vector<std::uint8_t>& requestId) {
    ReplyWriter out(reply, result.type, 0, riskChart2DReplySize(result), requestId);
    const std::size_t n = pointCount(result);

    out.put(static_cast<std::uint32_t>(n));
    for (RiskCurve curve : RISK_CURVE_REPLY_ORDER)
        putCurve(out, result.curves[curve], n);

    out.put(static_cast<std::uint32_t>(result.greeks.size()));
    for (const auto& [key, greeks] : result.greeks)
        putGreeks(out, key, greeks);

    out.put(static_cast<std::uint32_t>(result.stockCurves.size()));
    for (const StockCurve& stock : result.stockCurves) {
        out.putString(stock.symbol);
        for (const std::vector<double>& curve : stock.curves)
            putCurve(out, curve, n);
    }

    out.put(static_cast<std::uint32_t>(result.strikeLists.size()));
    for (const StockStrikes& stock : result.strikeLists) {
        out.putString(stock.symbol);
        out.put(static_cast<std::uint32_t>(stock.strikes.size()));
        for (double strike : stock.strikes)
            out.put(strike);
    }

    out.put(static_cast<std::uint32_t>(result.strikeTables.size()));
    for (const StockStrikeTable& stock : result.strikeTables) {
        out.putString(stock.symbol);
        out.put(static_cast<std::uint32_t>(stock.rows.size()));
        for (const StrikeRow& row : stock.rows)
            for (RiskCurve curve : RISK_CURVE_REPLY_ORDER)
                out.put(row[curve]);
    }
    out.finish();
}

}  // namespace Packets::Outgoing
