// The OPTION_CALCULATOR reply: the call and put value of each quantity the calculator computes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packets/PacketTypes.h"

namespace Packets::Outgoing {

class OptionCalculatorResult {
public:
    struct Row {
        std::string label;
        double call = 0.0;
        double put = 0.0;
    };

    virtual ~OptionCalculatorResult() = default;

    std::uint32_t type = OPTION_CALCULATOR_RESULT;
    std::uint32_t zero = 0;
    std::vector<Row> rows;
};

}  // namespace Packets::Outgoing
