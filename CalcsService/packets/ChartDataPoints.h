// The reply to CALC_RISK_CHART_DATA: per position list a table of profit or loss against the
// underlying's price (rows) and the days ahead (columns).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace VO {

constexpr std::size_t CHART_ROWS = 21;     // 10 price steps either side of the base price
constexpr std::size_t CHART_COLUMNS = 10;  // price, percent move, then 8 day offsets
constexpr std::size_t CHART_DAY_COLUMNS = CHART_COLUMNS - 2;

using ChartRow = std::array<double, CHART_COLUMNS>;
using ChartTable = std::array<ChartRow, CHART_ROWS>;

struct ChartDataPoints {
    std::uint32_t type = 32;  // OPTIONS_CALCULATION_RESULT
    std::uint32_t zero = 0;
    ChartTable table1{};  // the first position list
    ChartTable table2{};  // the second position list
    double stockQuantity2 = 0.0;  // the second list's stock quantity, echoed
};

}  // namespace VO
