// The messages a test program logs, read back from a file sink in a folder that lives as long as
// the program (a logging core keeps its sinks for the whole process).
#pragma once

#include <string>
#include <vector>

#include "Logging/Log.h"
#include "support/TempDir.h"

namespace testsupport {

class LogMessages {
public:
    static LogMessages& instance() {
        static LogMessages messages;
        return messages;
    }

    // "severity: message" of every line logged since the previous call.
    std::vector<std::string> take() {
        std::vector<std::string> lines;
        for (const auto& file : testsupport::filesIn(m_dir.path() / "Logs"))
            for (const auto& line : testsupport::readLines(file))
                lines.push_back(line);
        std::vector<std::string> fresh;
        for (std::size_t i = m_seen; i < lines.size(); ++i)
            fresh.push_back(severityAndMessage(lines[i]));
        m_seen = lines.size();
        return fresh;
    }

private:
    // "[time] [severity] [scope] [thread]: message" -> "severity: message".
    static std::string severityAndMessage(const std::string& line) {
        const std::size_t afterTime = line.find("] [");
        const std::size_t message = line.find("]: ");
        if (afterTime == std::string::npos || message == std::string::npos)
            return line;
        const std::size_t severity = afterTime + 3;
        return line.substr(severity, line.find(']', severity) - severity) + ": " + line.substr(message + 3);
    }

    LogMessages() { Logging::initLogging(m_dir.str() + "/Logs/Test%Y-%b-%d.log"); }

    testsupport::TempDir m_dir;
    std::size_t m_seen = 0;
};

}  // namespace testsupport
