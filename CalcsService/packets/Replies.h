// The serialisers of the replies the handlers send (RISK_2D has its own, RiskChart2DResult.h). Each
// replaces `reply` with the complete packet, its header echoing `requestId` (16 bytes), and throws,
// leaving `reply` empty, when the reply cannot be written as its header describes it.
#pragma once

#include <cstdint>
#include <vector>

#include "packets/ChartDataPoints.h"
#include "packets/GreeksByExpirationResult.h"
#include "packets/OptionCalculatorResult.h"
#include "packets/RiskTableResult.h"
#include "packets/ServiceInfoResult.h"

namespace Packets::Outgoing {

using ReplyBytes = std::vector<std::uint8_t>;

// OPTIONS_CALCULATION_RESULT, 3396 bytes: both tables row by row, then the trailing value.
void serializeChartDataPoints(const VO::ChartDataPoints& result, ReplyBytes& reply, const ReplyBytes& requestId);

// RISK_TABLE_INPUT_DATA, 36 + 144 per slide price. Throws std::length_error when the three cell
// vectors differ in length.
void serializeRiskTableResult(const RiskTableResult& result, ReplyBytes& reply, const ReplyBytes& requestId);

// GREEKS_BY_EXPIRATION, 32 + 80 per expiration.
void serializeGreeksByExpirationResult(const GreeksByExpirationResult& result, ReplyBytes& reply,
                                       const ReplyBytes& requestId);

// OPTION_CALCULATOR_RESULT, 32 + per row 20 + the label's length.
void serializeOptionCalculatorResult(const OptionCalculatorResult& result, ReplyBytes& reply,
                                     const ReplyBytes& requestId);

// IMPLIED_VOLATILITY_RESULT, 36 bytes.
void serializeImpliedVolatilityResult(double volatility, ReplyBytes& reply, const ReplyBytes& requestId);

// REQUEST_SERVICE_INFO, 40 + the lengths of both strings.
void serializeServiceInfoResult(const ServiceInfoResult& result, ReplyBytes& reply, const ReplyBytes& requestId);

}  // namespace Packets::Outgoing
