#include "packets/RiskChart2DResult.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "packets/PacketHeader.h"

namespace Packets::Outgoing {

namespace {

constexpr std::uint64_t GREEKS_RECORD_SIZE = 80;
constexpr std::uint64_t ROW_SIZE = RISK_CURVE_COUNT * sizeof(double);

// Writes fields one after another into a buffer already sized to hold them all.
class ReplyCursor {
public:
    explicit ReplyCursor(std::uint8_t* start) : m_pNext(start) {}

    template <class T>
    void put(T value) {
        std::memcpy(m_pNext, &value, sizeof(T));
        m_pNext += sizeof(T);
    }
    void putBytes(const void* bytes, std::size_t count) {
        if (count != 0)
            std::memcpy(m_pNext, bytes, count);
        m_pNext += count;
    }
    void putString(const std::string& text) {
        put(static_cast<std::uint32_t>(text.size()));
        putBytes(text.data(), text.size());
    }
    // Exactly n values: the curve's first n, then zeros.
    void putCurve(const std::vector<double>& curve, std::size_t n) {
        const std::size_t have = std::min(curve.size(), n);
        putBytes(curve.data(), have * sizeof(double));
        for (std::size_t i = have; i < n; ++i)
            put(0.0);
    }
    void putGreeks(double key, const GREEKS_BY_EXP& g) {
        put(key);
        put(g.dollarDelta);
        put(g.delta);
        put(g.gamma);
        put(g.timeValue);
        put(g.rho);
        put(g.theta);
        put(g.contracts);
        put(static_cast<std::uint32_t>(g.callContracts));
        put(static_cast<std::uint32_t>(g.putContracts));
        put(g.vega);
    }

private:
    std::uint8_t* m_pNext;
};

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

void serializeRiskChart2DResult(const RiskChart2DResult& result, std::vector<std::uint8_t>& reply,
                                const std::vector<std::uint8_t>& requestId) {
    const std::uint64_t size = riskChart2DReplySize(result);
    if (size > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("RISK_2D reply of " + std::to_string(size) + " bytes is too large");
    const std::size_t n = pointCount(result);

    reply.assign(static_cast<std::size_t>(size), 0);
    ReplyCursor out(reply.data());
    out.put(result.type);
    out.put(std::uint32_t{0});
    out.put(static_cast<std::uint32_t>(size));
    std::array<std::uint8_t, REQUEST_ID_SIZE> id{};  // a short id goes out zero-padded
    std::copy_n(requestId.begin(), std::min(requestId.size(), id.size()), id.begin());
    out.putBytes(id.data(), id.size());

    out.put(static_cast<std::uint32_t>(n));
    for (RiskCurve curve : RISK_CURVE_REPLY_ORDER)
        out.putCurve(result.curves[curve], n);

    out.put(static_cast<std::uint32_t>(result.greeks.size()));
    for (const auto& [key, greeks] : result.greeks)
        out.putGreeks(key, greeks);

    out.put(static_cast<std::uint32_t>(result.stockCurves.size()));
    for (const StockCurve& stock : result.stockCurves) {
        out.putString(stock.symbol);
        for (const std::vector<double>& curve : stock.curves)
            out.putCurve(curve, n);
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
}

}  // namespace Packets::Outgoing
