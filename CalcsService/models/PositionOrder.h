// Orderings of option positions and the unification of their times per expiration. Expirations,
// strikes and times come off the wire, so they are ordered NaN-safely (every NaN after all numbers).
#pragma once

#include <map>
#include <vector>

#include "packets/OptionPosition.h"
#include "packets/WireDoubleOrder.h"

namespace models {

using PositionList = std::vector<VO::OptionPosition>;

bool lessByExpiry(const VO::OptionPosition& a, const VO::OptionPosition& b);
bool lessByExpiryThenStrike(const VO::OptionPosition& a, const VO::OptionPosition& b);

// Gives all positions of one expiration the same time to expiry: the one `prefer` ranks first among
// theirs (prefer(a, b): a is taken over b).
template <class Prefer>
void unifyTimesByExpiration(PositionList& positions, Prefer prefer) {
    std::map<double, double, Packets::WireDoubleLess> times;
    for (const VO::OptionPosition& p : positions) {
        const auto [it, inserted] = times.emplace(p.expiration, p.timeToExpiry);
        if (!inserted && prefer(p.timeToExpiry, it->second))
            it->second = p.timeToExpiry;
    }
    for (VO::OptionPosition& p : positions)
        p.timeToExpiry = times[p.expiration];
}

// The smallest time of each expiration wins.
inline void unifyTimesByExpiration(PositionList& positions) {
    unifyTimesByExpiration(positions, Packets::wireDoubleLess);
}

}  // namespace models
