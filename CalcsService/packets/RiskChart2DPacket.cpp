#include "packets/RiskChart2DPacket.h"

#include <cmath>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "packets/PositionList.h"
#include "packets/RequestReaders.h"
#include "packets/RiskChart2DResult.h"

namespace Packets::Incoming {

namespace {

using VO::RiskChart::ExpiryCurve;
using VO::RiskChart::ExpiryCurvePoint;
using VO::RiskChart::PerStockInfo;

// The fewest bytes an underlying block takes: two empty strings, the fixed fields, two zero
// counts and the closing key.
constexpr std::size_t STOCK_BLOCK_MIN_WIRE_SIZE = 4 + 4 + 8 + 8 + 4 + 1 + 4 + 4 + 8;

RequestStream& readCurvePoint(RequestStream& in, ExpiryCurvePoint& point) {
    readQword(in, point.callPrice1);
    readQword(in, point.callPrice2);
    readQword(in, point.strike);
    readQword(in, point.putPrice1);
    return readQword(in, point.putPrice2);
}

// Expiration blocks up to the closing key 0.0. Every block consumes bytes, so a body without the
// closing key ends the loop by failing the stream.
RequestStream& readExpiryCurves(RequestStream& in, PerStockInfo& stock) {
    double key = 0.0;
    while (readQword(in, key) && key != 0.0) {
        std::uint8_t count = 0;
        ExpiryCurve points{};
        readByte(in, count);
        for (std::size_t i = 0; i < count && in; ++i) {
            ExpiryCurvePoint point;
            readCurvePoint(in, point);
            if (i < points.size())
                points[i] = point;
        }
        if (!in)
            break;
        if (count > points.size())
            LOG_SEV(warning) << "RISK_2D " << Logging::EscapeClientText(stock.symbol) << ": expiration " << key
                             << " has " << unsigned(count)
                             << " skew points, the first " << points.size() << " kept";
        if (std::isnan(key)) {
            LOG_SEV(warning) << "RISK_2D " << Logging::EscapeClientText(stock.symbol)
                             << ": skew points under a NaN expiration skipped";
            continue;
        }
        stock.curves[key] = points;
    }
    return in;
}

RequestStream& readStock(RequestStream& in, PerStockInfo& stock, std::uint64_t points) {
    std::uint32_t priceCount = 0;
    readString(in, stock.symbol);
    readString(in, stock.text2);
    readQword(in, stock.pctPerStep);
    readQword(in, stock.currentPrice);
    readDword(in, stock.stockQty);
    readByte(in, stock.keepTradePrices);
    if (readDword(in, priceCount))
        readList<sizeof(double)>(in, priceCount, stock.prices, &readQword<double>);
    if (stock.prices.size() > points) {
        // Each axis point has one slot in every curve.
        LOG_SEV(warning) << "RISK_2D " << Logging::EscapeClientText(stock.symbol) << ": " << stock.prices.size()
                         << " prices for " << points
                         << " points, the first " << points << " used";
        stock.prices.resize(static_cast<std::size_t>(points));
    }
    readPositionList(in, stock.positions);
    return readExpiryCurves(in, stock);
}

// Shift pairs up to and including the pair whose key is 0.0.
RequestStream& readVolShifts(RequestStream& in, RiskChart2DInputsPacket& packet) {
    double key = 0.0;
    do {
        double value = 0.0;
        readQword(in, key);
        if (!readQword(in, value))
            break;
        if (std::isnan(key)) {
            LOG_SEV(warning) << "RISK_2D: volatility shift under a NaN expiration skipped";
            continue;
        }
        packet.volShifts[key] = packet.useVolShifts != 0 ? value : 0.0;
    } while (key != 0.0);
    return in;
}

}  // namespace

std::uint64_t riskChart2DValuations(const RiskChart2DInputsPacket& packet) {
    const std::uint64_t points = std::uint64_t{packet.steps} + 1;
    const bool tables = packet.skipStrikeTables == 0;
    std::uint64_t valuations = 0;
    for (const auto& stock : packet.stocks) {
        const std::uint64_t positions = stock->positions.size();
        valuations += positions * (points + (tables ? positions : 0));
    }
    return valuations;
}

RequestStream& parseRiskChart2DInputsPacket(RequestStream& in, RiskChart2DInputsPacket& packet) {
    std::int32_t stockCount = 0;
    readDword(in, packet.skipStrikeTables);
    readDword(in, packet.volMode);
    readDword(in, packet.steps);
    readQword(in, packet.basePrice);
    readQword(in, packet.evalTime);
    readQword(in, packet.refTime);
    readByte(in, packet.useVolShifts);
    readDword(in, stockCount);
    if (!in) {
        LOG_SEV(error) << "RISK_2D request ends inside its fixed fields: refused";
        return in;
    }
    const std::uint64_t points = std::uint64_t{packet.steps} + 1;
    if (points > MAX_RISK_2D_POINTS) {
        LOG_SEV(error) << "RISK_2D request with " << packet.steps << " steps: more than " << MAX_RISK_2D_POINTS
                       << " points refused";
        in.refuse();
        return in;
    }

    const auto readStockBlock = [points](RequestStream& s, std::shared_ptr<PerStockInfo>& stock) -> RequestStream& {
        stock = std::make_shared<PerStockInfo>();
        return readStock(s, *stock, points);
    };
    readList<STOCK_BLOCK_MIN_WIRE_SIZE>(in, static_cast<std::uint64_t>(std::max(stockCount, 0)), packet.stocks,
                                        readStockBlock);
    readVolShifts(in, packet);
    if (!in) {
        LOG_SEV(error) << "RISK_2D request ends before its closing key: refused";
        return in;
    }
    std::size_t positions = 0;
    for (const auto& stock : packet.stocks)
        positions += stock->positions.size();
    const std::uint64_t replySize = Outgoing::riskChart2DReplySizeBound(packet);
    if (replySize > MAX_REPLY_SIZE) {
        LOG_SEV(error) << "RISK_2D request of " << packet.stocks.size() << " underlyings, " << points << " points and "
                       << positions << " positions: a reply of up to " << replySize << " bytes, more than "
                       << MAX_REPLY_SIZE << ", refused";
        in.refuse();
        return in;
    }
    const std::uint64_t valuations = riskChart2DValuations(packet);
    if (valuations > MAX_POSITION_VALUATIONS) {
        LOG_SEV(error) << "RISK_2D request of " << packet.stocks.size() << " underlyings, " << points << " points and "
                       << positions << " positions" << (packet.skipStrikeTables == 0 ? " with strike tables" : "")
                       << ": up to " << valuations << " position valuations, more than " << MAX_POSITION_VALUATIONS
                       << ", refused";
        in.refuse();
    }
    return in;
}

}  // namespace Packets::Incoming
