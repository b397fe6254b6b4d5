// For tests that put a FIFO where a program expects a file: a reader or writer that opens it the ordinary
// way waits for the other end, which never comes.
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

namespace detail {

// Runs call on a thread of its own and reports whether it finished within a generous deadline. When it
// did not, the FIFO's other end is opened with flags so that a call blocked on it goes on, and the test
// ends; holdOpen keeps that end open until the call has finished.
inline bool finishesBeforeTheDeadline(const std::string& fifo, int flags, bool holdOpen,
                                      const std::function<void()>& call) {
    auto done = std::async(std::launch::async, call);
    if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready)
        return true;
    const int fd = ::open(fifo.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && !holdOpen)
        ::close(fd);
    done.wait();
    if (fd >= 0 && holdOpen)
        ::close(fd);
    return false;
}

}  // namespace detail

// For a call that may wait to read from the FIFO: a writer opens and closes it after the deadline, so
// that the read ends.
inline bool finishesWithoutAWriter(const std::string& fifo, const std::function<void()>& call) {
    return detail::finishesBeforeTheDeadline(fifo, O_WRONLY, false, call);
}

// For a call that may wait to write to the FIFO: a reader opens it after the deadline and stays until the
// call has finished, so that its writes neither wait nor meet a FIFO without a reader.
inline bool finishesWithoutAReader(const std::string& fifo, const std::function<void()>& call) {
    return detail::finishesBeforeTheDeadline(fifo, O_RDONLY, true, call);
}

}  // namespace testsupport
