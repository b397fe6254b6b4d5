// The registration switches of a service executable run as an administrator runs them: each prints one
// line saying what it did, and a running service is removed only once its process has ended. The service
// here takes 3 s to stop after its message loop.
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/PlatformTestSupport.h"
#include "platform/ServiceLeftRunning.h"
#include "platform/Processes.h"
#include "platform/ServiceControl.h"
#include "platform/ServiceModule.h"

namespace {

using namespace platform;

const std::string kName = "TeskSlowSvc";

// Sees a file of a folder opened, from its construction on.
class FileOpenWatch {
public:
    FileOpenWatch(const boost::filesystem::path& folder, std::string fileName)
        : m_fd(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK)), m_fileName(std::move(fileName)) {
        EXPECT_GE(::inotify_add_watch(m_fd, folder.c_str(), IN_OPEN), 0);
    }
    ~FileOpenWatch() { ::close(m_fd); }
    FileOpenWatch(const FileOpenWatch&) = delete;
    FileOpenWatch& operator=(const FileOpenWatch&) = delete;

    // Whether the file was opened within the limit.
    bool wait() {
        return testsupport::waitUntil([this] {
            alignas(inotify_event) char buffer[4096];
            ssize_t length;
            while ((length = ::read(m_fd, buffer, sizeof buffer)) > 0)
                for (char* at = buffer; at < buffer + length;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(at);
                    m_bOpened = m_bOpened || (event->len > 0 && m_fileName == event->name);
                    at += sizeof(inotify_event) + event->len;
                }
            return m_bOpened;
        });
    }

private:
    const int m_fd;
    const std::string m_fileName;
    bool m_bOpened = false;
};

// What one step does to the service as it stands, and the one line it prints.
struct RegistrationStep {
    const char* name;
    bool startFirst;  // the service is started before the switch runs
    const char* option;
    const char* line;  // after "<name>: "
    bool installedAfter;
};

class ServiceRegistrationTest : public ::testing::Test {
protected:
    ServiceRegistrationTest() : m_program(testsupport::copyProgram(TESK_SLOW_STOP_SERVICE, m_folder.path(), kName)) {}

    void TearDown() override { testsupport::killServiceLeftRunning(kName); }

    // Starts the service; with a gate it stays start-pending until that file exists.
    int start(const std::string& gate = std::string()) {
        if (!gate.empty())
            ::setenv("TESK_TEST_SERVICE_START_GATE", gate.c_str(), 1);
        const int error = StartService(kName);
        ::unsetenv("TESK_TEST_SERVICE_START_GATE");
        ServiceStatus status;
        EXPECT_EQ(error, 0);
        EXPECT_EQ(QueryServiceStatus(kName, status), 0);
        return status.processId;
    }

    // What a switch run in this process, its removal's stop limited to limit, returns and prints.
    struct SwitchRun {
        int result;
        std::string output;
        std::string errors;
    };
    static SwitchRun runSwitch(const char* option, std::chrono::milliseconds limit) {
        CServiceModule module(kName, "{" + kName + "}", limit);
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const int result = module.WinMain({option});
        std::string output = ::testing::internal::GetCapturedStdout();
        return {result, output, ::testing::internal::GetCapturedStderr()};
    }

    testsupport::ScopedPlatformRoot m_root;
    testsupport::TempDir m_folder;
    const std::string m_program;
};

TEST_F(ServiceRegistrationTest, EachSwitchSaysWhatItDidAndRemovesARunningServiceOnlyOnceItStopped) {
    const RegistrationStep steps[] = {
        {"first install", false, "-Service", "installed as a service", true},
        {"reinstall while it runs", true, "-Service",
         "installed as a service; the running service was stopped to reinstall it, start it again with: "
         "tesksc start TeskSlowSvc",
         true},
        {"plain registration while it runs", true, "-RegServer",
         "registered to run as a plain process; the running service was stopped and removed", false},
        {"plain registration again", false, "/regserver", "registered to run as a plain process", false},
        {"install again", false, "-Service", "installed as a service", true},
        {"removal of a stopped service", false, "-UnregServer", "unregistered; the installed service was removed",
         false},
        {"install for the last removal", false, "-Service", "installed as a service", true},
        {"removal while it runs", true, "/UnRegServer", "unregistered; the running service was stopped and removed",
         false},
        {"removal of nothing", false, "-UnregServer", "unregistered", false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        int pid = 0;
        if (step.startFirst) {
            ASSERT_EQ(StartService(kName), 0);
            ServiceStatus status;
            ASSERT_EQ(WaitForServiceState(kName, SERVICE_RUNNING, status, std::chrono::seconds(10)), 0);
            ASSERT_EQ(status.currentState, SERVICE_RUNNING);
            pid = status.processId;
        }
        const auto result = testsupport::runProgram(m_program, {step.option});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.output, kName + ": " + step.line + "\n");
        EXPECT_EQ(ServiceExists(kName), step.installedAfter);
        // The switch returned only after the service's process had ended.
        if (pid > 0) {
            EXPECT_FALSE(IsProcessAlive(pid));
        }
    }
}

TEST_F(ServiceRegistrationTest, StartingServiceIsWaitedForThenStoppedAndRemoved) {
    ASSERT_EQ(testsupport::runProgram(m_program, {"-Service"}).exitCode, 0);
    const std::string gate = (m_folder.path() / "gate").string();
    const int pid = start(gate);
    // Its own start-pending record (no wait hint, unlike the manager's): from here it reads no record
    // until the gate opens.
    ServiceStatus status;
    ASSERT_TRUE(testsupport::waitUntil([&] {
        return QueryServiceStatus(kName, status) == 0 && status.currentState == SERVICE_START_PENDING &&
               status.waitHint == 0;
    }));
    FileOpenWatch recordRead(m_root.path() / "services", "teskslowsvc.status");

    SwitchRun run{};
    std::thread removal([&] { run = runSwitch("-UnregServer", std::chrono::seconds(20)); });
    // The removal has read the record, and so found the service start-pending.
    EXPECT_TRUE(recordRead.wait());
    std::ofstream(gate).put('\n');  // lets the service run, and so take the stop
    removal.join();
    EXPECT_EQ(run.result, 0) << run.errors;
    EXPECT_EQ(run.output, kName + ": unregistered; the running service was stopped and removed\n");
    EXPECT_FALSE(ServiceExists(kName));
    EXPECT_FALSE(IsProcessAlive(pid));
}

TEST_F(ServiceRegistrationTest, ServiceThatDoesNotStopInTimeStaysInstalledAndTheSwitchSaysWhy) {
    ASSERT_EQ(testsupport::runProgram(m_program, {"-Service"}).exitCode, 0);
    struct Case {
        const char* name;
        bool frozen;  // running but stopped by SIGSTOP, else held start-pending
        const char* option;
    };
    const Case cases[] = {{"held start-pending, reinstalled", false, "-Service"},
                          {"held start-pending, removed", false, "-UnregServer"},
                          {"frozen while running, removed", true, "/UnregServer"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A gate that never opens holds it start-pending.
        const int pid = start(c.frozen ? std::string() : (m_folder.path() / "never").string());
        if (c.frozen) {
            ServiceStatus status;
            ASSERT_EQ(WaitForServiceState(kName, SERVICE_RUNNING, status, std::chrono::seconds(10)), 0);
            ASSERT_EQ(status.currentState, SERVICE_RUNNING);
            ASSERT_EQ(::kill(pid, SIGSTOP), 0);
        }
        const SwitchRun run = runSwitch(c.option, std::chrono::seconds(1));
        EXPECT_EQ(run.result, EXIT_FAILURE);
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(run.errors, kName + ": the service (process " + std::to_string(pid) +
                                  ") did not stop within 1000 ms, so it stays installed: The service did not "
                                  "respond to the start or control request in a timely fashion. (error 1053)\n");
        EXPECT_TRUE(ServiceExists(kName));
        EXPECT_TRUE(IsProcessAlive(pid));
        ::kill(pid, SIGKILL);
        ASSERT_EQ(WaitForProcessExit(pid, 10000), 0);
    }
}

}  // namespace
