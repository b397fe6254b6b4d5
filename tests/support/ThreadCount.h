// The number of threads this process runs now, for tests that check threads are started and joined.
#pragma once

#include <cstddef>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>

namespace testsupport {

inline std::size_t threadCount() {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"), {}));
}

// The ids of the threads this process runs now: set against an earlier call's, it tells the threads
// started since from those that ended meanwhile.
inline std::set<std::string> threadIds() {
    std::set<std::string> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ids.insert(entry.path().filename().string());
    return ids;
}

}  // namespace testsupport
