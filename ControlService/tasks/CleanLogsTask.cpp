#include "tasks/CleanLogsTask.h"

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "Logging/Log.h"
#include "platform/Files.h"
#include "service/ModuleInfo.h"

namespace tasks {

namespace {

const char* const kLogPattern = "Tesk*.log";
const long kKeptDays = 20;
const std::time_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of the time's UTC calendar date.
long utcDay(std::time_t time) {
    return static_cast<long>(time / kSecondsPerDay - (time % kSecondsPerDay < 0 ? 1 : 0));
}

}  // namespace

CleanLogsTask::CleanLogsTask(Clock now) : m_now(std::move(now)) {}

void CleanLogsTask::execute() {
    const std::string folder = g_strModuleDir + "/Logs";
    LOG_SEV(info) << "check logs: " << folder << "/" << kLogPattern;
    // Held open, and entered only when it is no link: the cleanup deletes in this folder and nowhere else.
    platform::CFolder logs;
    std::vector<platform::FoundFile> files;
    int error = logs.Open(g_strModuleDir, "Logs");
    if (!error)
        error = logs.FindFiles(kLogPattern, files);
    if (error) {
        if (error != ENOENT)
            LOG_SEV(error) << "can't search log folder:" << folder << " " << static_cast<unsigned>(error);
        return;
    }
    const long today = utcDay(m_now());
    for (const auto& file : files) {
        if (today - utcDay(file.creationTime) <= kKeptDays)
            continue;
        const std::string path = folder + "/" + file.name;
        error = logs.DeleteFile(file.name);
        LOG_SEV(info) << "Delete log file:" << path;
        if (error)
            LOG_SEV(error) << "can't delete log file:" << path << " " << static_cast<unsigned>(error);
    }
}

}  // namespace tasks
