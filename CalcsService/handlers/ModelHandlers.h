// The handlers that answer with a computed reply: option calculator, implied volatility, risk
// chart data, risk table, greeks by expiration and RISK_2D. Each parses its request, runs the model
// and serialises the reply with the request's id.
#pragma once

#include "handlers/BaseHandler.h"

namespace Handlers {

// OPTION_CALCULATOR -> OPTION_CALCULATOR_RESULT.
class OptionCalculatorHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

// IMPLIED_VOLATILITY -> IMPLIED_VOLATILITY_RESULT, 0.0 when the model sets no volatility.
class VolatilityHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

// CALC_RISK_CHART_DATA -> OPTIONS_CALCULATION_RESULT.
class RiskChartDataHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

// RISK_TABLE_INPUT_DATA -> RISK_TABLE_INPUT_DATA.
class RiskTableHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

// GREEKS_BY_EXPIRATION -> GREEKS_BY_EXPIRATION.
class GreeksByExpirationHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

// RISK_2D -> RISK_2D; a body the parser refuses gets no reply.
class RiskChart2DHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

}  // namespace Handlers
