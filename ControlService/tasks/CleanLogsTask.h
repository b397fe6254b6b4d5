// Deletes the log files of both services ("Tesk*.log" in the Logs folder) older than 20 days; a Logs
// that is a link is not entered.
#pragma once

#include <ctime>
#include <functional>

namespace tasks {

class CleanLogsTask {
public:
    using Clock = std::function<std::time_t()>;

    // now gives the current time (tests pass their own "today").
    explicit CleanLogsTask(Clock now = [] { return std::time(nullptr); });

    // One pass: deletes each matching regular file created 21 or more UTC calendar days before today.
    void execute();

private:
    Clock m_now;
};

}  // namespace tasks
