#include "models/PositionOrder.h"

namespace models {

bool lessByExpiry(const VO::OptionPosition& a, const VO::OptionPosition& b) {
    return Packets::wireDoubleLess(a.expiration, b.expiration);
}

bool lessByExpiryThenStrike(const VO::OptionPosition& a, const VO::OptionPosition& b) {
    if (lessByExpiry(a, b))
        return true;
    if (lessByExpiry(b, a))
        return false;
    return Packets::wireDoubleLess(a.strike, b.strike);
}

}  // namespace models
