// The greeks pass of the risk chart: one summary per expiration at the base price and the
// evaluation time, and one for the stock of all underlyings.
#pragma once

#include "packets/RiskChart2DPacket.h"
#include "packets/RiskChart2DResult.h"

namespace models::RiskChart {

// Thread body: every underlying in request order. Never throws: a failure is logged and the
// entries made so far stay.
void greeks(const Packets::Incoming::RiskChart2DInputsPacket& inputs, Packets::Outgoing::GreeksByExpiration& greeks);

void greeksStock(const VO::RiskChart::PerStockInfo& stock, double evalTime, double basePrice,
                 Packets::Outgoing::GreeksByExpiration& greeks);

// False, with nothing added, for a position whose expiration is NaN.
bool greeksPosition(const VO::OptionPosition& p, double evalTime, double base, bool isIndex, double ratio,
                    Packets::Outgoing::GreeksByExpiration& greeks);

// Adds every member of the entries in [first, last) into `total`; the counts saturate.
void sumGreeksByExpiration(Packets::Outgoing::GreeksByExpiration::const_iterator first,
                           Packets::Outgoing::GreeksByExpiration::const_iterator last,
                           Packets::Outgoing::GREEKS_BY_EXP& total);

}  // namespace models::RiskChart
