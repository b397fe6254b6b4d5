// Helpers for tests that run programs against their own platform root.
#pragma once

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <boost/filesystem.hpp>

#include "support/TempDir.h"

extern char** environ;

namespace testsupport {

// Points the platform layer of this process, and of every program it starts, at a fresh root folder.
class ScopedPlatformRoot {
public:
    ScopedPlatformRoot() { ::setenv("TESK_PLATFORM_ROOT", m_dir.str().c_str(), 1); }
    ~ScopedPlatformRoot() { ::unsetenv("TESK_PLATFORM_ROOT"); }
    const boost::filesystem::path& path() const { return m_dir.path(); }

private:
    TempDir m_dir;
};

// Polls condition every 10 ms until it holds or the limit passes; returns its last value.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Copies an executable into folder under a new name; returns the copy's path.
inline std::string copyProgram(const std::string& program, const boost::filesystem::path& folder,
                               const std::string& name) {
    const auto copy = folder / name;
    boost::filesystem::copy_file(program, copy, boost::filesystem::copy_option::overwrite_if_exists);
    boost::filesystem::permissions(copy, boost::filesystem::owner_all | boost::filesystem::group_read |
                                             boost::filesystem::group_exe);
    return copy.string();
}

// A program started as a child of the test, with standard output and error in a file (not a pipe:
// programs it starts in turn may keep them open long after it ends).
class ChildProgram {
public:
    ChildProgram(const std::string& program, const std::vector<std::string>& args) {
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        const std::string output = (m_dir.path() / "output").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProgram() {
        if (m_pid > 0 && !m_bReaped) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    pid_t pid() const { return m_pid; }

    // Waits for the end; the raw wait status, or -1 when it did not end within the limit.
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        int status = -1;
        const bool ended = waitUntil(
            [&] { return m_bReaped || (m_bReaped = ::waitpid(m_pid, &m_nStatus, WNOHANG) == m_pid); }, limit);
        if (ended)
            status = m_nStatus;
        return status;
    }

    std::string output() const {
        std::ifstream in((m_dir.path() / "output").string());
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    TempDir m_dir;
    pid_t m_pid = -1;
    bool m_bReaped = false;
    int m_nStatus = 0;
};

struct ProgramResult {
    int exitCode;  // -1 when it did not exit normally
    std::string output;
};

// Runs a program to its end.
inline ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args) {
    ChildProgram child(program, args);
    const int status = child.wait();
    return {status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1, child.output()};
}

// What the probe program wrote about itself.
struct ProbeReport {
    std::vector<std::string> args;
    std::string cwd;
    std::string exe;
    std::vector<int> fds;
    std::string blockedSignals;
    std::string ignoredSignals;
};

// The reports that probes started as <name> wrote into folder ("<name>.<pid>.report").
inline std::vector<ProbeReport> probeReports(const boost::filesystem::path& folder, const std::string& name) {
    std::vector<ProbeReport> reports;
    for (const auto& file : filesIn(folder)) {
        const std::string fileName = file.filename().string();
        if (fileName.rfind(name + ".", 0) != 0 || file.extension() != ".report")
            continue;
        ProbeReport report;
        for (const auto& line : readLines(file)) {
            const auto equals = line.find('=');
            const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
            if (key == "arg")
                report.args.push_back(value);
            else if (key == "cwd")
                report.cwd = value;
            else if (key == "exe")
                report.exe = value;
            else if (key == "fd")
                report.fds.push_back(std::stoi(value));
            else if (key == "sigblk")
                report.blockedSignals = value;
            else if (key == "sigign")
                report.ignoredSignals = value;
        }
        reports.push_back(report);
    }
    return reports;
}

}  // namespace testsupport
