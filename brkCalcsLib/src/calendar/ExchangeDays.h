// The exchange's holidays and early-close days, as yyyymmdd numbers in date order.
#pragma once

#include <array>
#include <cstdint>

extern const std::array<uint32_t, 192> kExchangeHolidays;
extern const std::array<uint32_t, 36> kExchangeEarlyCloses;
