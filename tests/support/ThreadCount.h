// The number of threads this process runs now, for tests that check threads are started and joined.
#pragma once

#include <cstddef>
#include <filesystem>
#include <iterator>

namespace testsupport {

inline std::size_t threadCount() {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"), {}));
}

}  // namespace testsupport
