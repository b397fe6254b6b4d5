// Small text helpers of the platform layer's sources.
#pragma once

#include <cctype>
#include <string>

namespace platform {
namespace detail {

inline std::string ToLowerAscii(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

inline bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ToLowerAscii(a) == ToLowerAscii(b);
}

}  // namespace detail
}  // namespace platform
