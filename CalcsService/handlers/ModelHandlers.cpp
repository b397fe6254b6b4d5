#include "handlers/ModelHandlers.h"

#include <cstdint>
#include <exception>

#include "Logging/ClientText.h"
#include "handlers/HandlerGuard.h"
#include "models/Calculations.h"
#include "models/RiskChart/RiskChart2D.h"
#include "packets/Replies.h"
#include "packets/RequestLimits.h"

namespace Handlers {

namespace {

Calculations& model() { return CalculationsSingleton::get_mutable_instance(); }

}  // namespace

// The calculator's failures reach the packet processor's catch; a stop drops the request.
void OptionCalculatorHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                                     const std::vector<std::uint8_t>& requestId) {
    dropIfStopped("OptionCalculatorHandler", reply, [&] {
        Packets::Incoming::OptionCalculatorPacket packet;
        Packets::Incoming::parseOptionCalculatorPacket(request, packet);
        Packets::Outgoing::OptionCalculatorResult result;
        model().calcOptionCalculator(packet, result);
        Packets::Outgoing::serializeOptionCalculatorResult(result, reply, requestId);
    });
}

void VolatilityHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                               const std::vector<std::uint8_t>& requestId) {
    runGuarded("VolatilityHandler", reply, [&] {
        Packets::Incoming::OptionCalculatorPacket packet;
        Packets::Incoming::parseOptionCalculatorPacket(request, packet);
        double volatility = 0.0;
        model().calcImpliedVolatility(packet, volatility);
        Packets::Outgoing::serializeImpliedVolatilityResult(volatility, reply, requestId);
    });
}

void RiskChartDataHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                                  const std::vector<std::uint8_t>& requestId) {
    runGuarded("RiskChartDataHandler", reply, [&] {
        Packets::Incoming::RiskChartDataPacket packet;
        Packets::Incoming::parseRiskChartDataPacket(request, packet);
        const std::uint64_t valuations = Packets::Incoming::riskChartDataValuations(packet);
        if (valuations > Packets::Incoming::MAX_POSITION_VALUATIONS) {
            LOG_SEV(error) << "CALC_RISK_CHART_DATA request of " << packet.positions1.size() << " and "
                           << packet.positions2.size() << " positions: " << valuations
                           << " position valuations, more than " << Packets::Incoming::MAX_POSITION_VALUATIONS
                           << ", refused";
            return;
        }
        VO::ChartDataPoints result;
        model().calcRiskChartData(packet, result);
        Packets::Outgoing::serializeChartDataPoints(result, reply, requestId);
    });
}

void RiskTableHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                              const std::vector<std::uint8_t>& requestId) {
    try {
        dropIfStopped("RiskTableHandler", reply, [&] {
            Packets::Incoming::RiskTablePacket packet;
            Packets::Incoming::parseRiskTablePacket(request, packet);
            Packets::Outgoing::RiskTableResult result;
            model().calcRiskTable(packet, result);
            Packets::Outgoing::serializeRiskTableResult(result, reply, requestId);
        });
    } catch (const std::exception& e) {
        reply.clear();
        LOG_SEV(error) << "RiskTableHandler::handle" << Logging::EscapeClientText(e.what());
    } catch (...) {
        reply.clear();
        LOG_SEV(fatal) << "RiskTableHandler cauth unknown exception, SEH?";
    }
}

void GreeksByExpirationHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                                       const std::vector<std::uint8_t>& requestId) {
    runGuarded("GreeksByExpirationHandler", reply, [&] {
        Packets::Incoming::GreeksByExpirationPacket packet;
        Packets::Incoming::parseGreeksByExpirationPacket(request, packet);
        Packets::Outgoing::GreeksByExpirationResult result;
        model().calcGreeksByExpiration(packet, result);
        Packets::Outgoing::serializeGreeksByExpirationResult(result, reply, requestId);
    });
}

// The chart's failures reach the packet processor's catch; a stop drops the request.
void RiskChart2DHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                                const std::vector<std::uint8_t>& requestId) {
    Packets::Incoming::RiskChart2DInputsPacket packet;
    if (!Packets::Incoming::parseRiskChart2DInputsPacket(request, packet))
        return;  // the parser has logged why
    dropIfStopped("RiskChart2DHandler", reply, [&] {
        Packets::Outgoing::RiskChart2DResult result;
        models::RiskChart::calcRiskChart2D(packet, result);
        Packets::Outgoing::serializeRiskChart2DResult(result, reply, requestId);
    });
}

}  // namespace Handlers
