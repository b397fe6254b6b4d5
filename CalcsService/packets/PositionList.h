// A counted list of option positions, as the risk requests carry them.
#pragma once

#include <cstdint>
#include <vector>

#include "packets/OptionPosition.h"
#include "packets/RequestReaders.h"

namespace Packets::Incoming {

// Reads `count` positions, or as many as the body holds whole.
inline RequestStream& readPositions(RequestStream& in, std::uint64_t count, std::vector<VO::OptionPosition>& positions) {
    return readList<OPTION_POSITION_WIRE_SIZE>(in, count, positions, &parseOptionPosition);
}

// A u32 count, then the positions.
inline RequestStream& readPositionList(RequestStream& in, std::vector<VO::OptionPosition>& positions) {
    std::uint32_t count = 0;
    positions.clear();
    if (!readDword(in, count))
        return in;
    return readPositions(in, count, positions);
}

}  // namespace Packets::Incoming
