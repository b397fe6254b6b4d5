// Helpers for tests of the services: their log file and the service-manager tool's output.
#pragma once

#include <string>
#include <vector>

#include "platform/PlatformTestSupport.h"

namespace testsupport {

// A file line "[time] [severity] [scope] [thread]: message" as "<severity> <message>"; other lines (the
// continuation of a record over several lines) as they are.
inline std::string severityAndMessage(const std::string& line) {
    const auto severity = line.find("] [");
    const auto severityEnd = line.find(']', severity + 3);
    const auto message = line.find("]: ");
    if (line.empty() || line[0] != '[' || severity == std::string::npos || severityEnd == std::string::npos ||
        message == std::string::npos)
        return line;
    return line.substr(severity + 3, severityEnd - severity - 3) + " " + line.substr(message + 3);
}

// The records of the one log file under <folder>/Logs.
inline std::vector<std::string> logMessages(const boost::filesystem::path& folder) {
    std::vector<std::string> messages;
    const auto files = filesIn(folder / "Logs");
    if (files.size() != 1)
        return messages;
    for (const auto& line : readLines(files[0]))
        messages.push_back(severityAndMessage(line));
    return messages;
}

inline bool hasLogMessage(const boost::filesystem::path& folder, const std::string& message) {
    for (const auto& logged : logMessages(folder))
        if (logged == message)
            return true;
    return false;
}

inline bool waitForLogMessage(const boost::filesystem::path& folder, const std::string& message) {
    return waitUntil([&] { return hasLogMessage(folder, message); });
}

// The PID line of the tool's status output; 0 when there is none.
inline int toolPid(const std::string& output) {
    for (const auto& line : splitLines(output)) {
        const auto pid = line.find("PID                : ");
        if (pid != std::string::npos)
            return std::stoi(line.substr(pid + 21));
    }
    return 0;
}

}  // namespace testsupport
