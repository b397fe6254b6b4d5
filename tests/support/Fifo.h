// For tests that put a FIFO where a program expects a file: a reader that opens it the ordinary way
// waits for a writer that never comes.
#pragma once

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

// Creates a FIFO at path; false when it cannot.
inline bool makeFifo(const std::string& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}

// Runs call on a thread of its own and reports whether it finished within a generous deadline. When it
// did not, a writer opens and closes the FIFO, so a call blocked on it returns and the test ends.
inline bool finishesWithoutAWriter(const std::string& fifo, const std::function<void()>& call) {
    auto done = std::async(std::launch::async, call);
    if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready)
        return true;
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        ::close(fd);
    done.wait();
    return false;
}

}  // namespace testsupport
