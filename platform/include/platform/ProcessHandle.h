// A process held by a pidfd: unlike its pid, the handle can never come to name another process.
#pragma once

namespace platform {

class ProcessHandle {
public:
    ProcessHandle() = default;
    ~ProcessHandle();
    ProcessHandle(ProcessHandle&& other) noexcept;
    ProcessHandle& operator=(ProcessHandle&& other) noexcept;
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;

    // The process of that id, or an empty handle (errno set) when there is none or it cannot be opened.
    static ProcessHandle Open(int processId);

    explicit operator bool() const { return m_fd >= 0; }
    int Pid() const { return m_nPid; }

    // Whether the process has not terminated yet. Checked after reading /proc/<pid>, it proves that what
    // was read belongs to this process: its pid cannot be reused while it runs.
    bool IsRunning() const;

    // Sends the signal to this very process, never to one that took its pid later: 0 or the errno.
    int Signal(int signal) const;

    // Waits until the process terminates or wakeFd (unless -1) becomes readable: 0 when it terminated,
    // ECANCELED when woken, ETIMEDOUT when timeoutMs passed first, another errno when it cannot wait.
    int WaitForExit(int timeoutMs, int wakeFd = -1) const;

private:
    int m_fd = -1;
    int m_nPid = 0;
};

}  // namespace platform
