// Text of a fixed-size character field that may fill the field without a terminating NUL.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

inline std::string FixedText(const char* field, std::size_t size) {
    return std::string(field, ::strnlen(field, size));
}
