// The target of a symbolic link, however long.
#pragma once

#include <string>
#include <unistd.h>
#include <vector>

namespace platform {
namespace detail {

// False (errno set) when the link cannot be read.
inline bool ReadLink(const std::string& link, std::string& target) {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size());
        if (length < 0)
            return false;
        if (static_cast<std::size_t>(length) < buffer.size()) {
            target.assign(buffer.data(), static_cast<std::size_t>(length));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace detail
}  // namespace platform
