// The registration switches of a service executable run as an administrator runs them: each prints one
// line saying what it did, and a running service is removed only once its process has ended. The service
// here takes 3 s to stop after its message loop, and where a test says so its process lives on for a
// while after it reported stopped.
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/PlatformTestSupport.h"
#include "platform/Registry.h"
#include "platform/ServiceLeftRunning.h"
#include "platform/Processes.h"
#include "platform/ServiceControl.h"
#include "platform/ServiceModule.h"

namespace {

using namespace platform;

const std::string kName = "TeskSlowSvc";
const std::string kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\" + kName;

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
    enum Before { Stopped, Running, Stopping };
    const char* name;
    Before before;  // the service as the switch finds it
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
        {"first install", RegistrationStep::Stopped, "-Service", "installed as a service", true},
        {"reinstall while it runs", RegistrationStep::Running, "-Service",
         "installed as a service; the running service was stopped to reinstall it, start it again with: "
         "tesksc start TeskSlowSvc",
         true},
        {"plain registration while it runs", RegistrationStep::Running, "-RegServer",
         "registered to run as a plain process; the running service was stopped and removed", false},
        {"plain registration again", RegistrationStep::Stopped, "/regserver", "registered to run as a plain process",
         false},
        {"install again", RegistrationStep::Stopped, "-Service", "installed as a service", true},
        {"removal of a stopped service", RegistrationStep::Stopped, "-UnregServer",
         "unregistered; the installed service was removed", false},
        {"install for the removal while it runs", RegistrationStep::Stopped, "-Service", "installed as a service",
         true},
        {"removal while it runs", RegistrationStep::Running, "/UnRegServer",
         "unregistered; the running service was stopped and removed", false},
        // Its stop is refused as one already under way: still waited for.
        {"install for the removal while it stops", RegistrationStep::Stopped, "-Service", "installed as a service",
         true},
        {"removal while it stops", RegistrationStep::Stopping, "-UnregServer",
         "unregistered; the running service was stopped and removed", false},
        {"removal of nothing", RegistrationStep::Stopped, "-UnregServer", "unregistered", false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        int pid = 0;
        if (step.before != RegistrationStep::Stopped) {
            // Its process outlives its report of SERVICE_STOPPED: the switch must wait for the process.
            ::setenv("TESK_TEST_SERVICE_LINGER_MS", "1000", 1);
            const int started = StartService(kName);
            ::unsetenv("TESK_TEST_SERVICE_LINGER_MS");
            ASSERT_EQ(started, 0);
            ServiceStatus status;
            ASSERT_EQ(WaitForServiceState(kName, SERVICE_RUNNING, status, std::chrono::seconds(10)), 0);
            ASSERT_EQ(status.currentState, SERVICE_RUNNING);
            pid = status.processId;
            if (step.before == RegistrationStep::Stopping) {
                ASSERT_EQ(ControlStopService(kName, status), 0);
                ASSERT_EQ(status.currentState, SERVICE_STOP_PENDING);
            }
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
    enum Hold { StartPending, Frozen, None };  // held start-pending, running but stopped by SIGSTOP, running
    struct Case {
        const char* name;
        Hold hold;
        const char* option;
        std::chrono::milliseconds limit;
    };
    const Case cases[] = {{"held start-pending, reinstalled", StartPending, "-Service", std::chrono::seconds(1)},
                          {"held start-pending, removed", StartPending, "-UnregServer", std::chrono::seconds(1)},
                          {"frozen while running, removed", Frozen, "/UnregServer", std::chrono::seconds(1)},
                          // Running and free to stop, but given no time for it.
                          {"running, removed without time to stop", None, "-UnregServer", std::chrono::seconds(0)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A gate that never opens holds it start-pending.
        const int pid = start(c.hold == StartPending ? (m_folder.path() / "never").string() : std::string());
        if (c.hold != StartPending) {
            ServiceStatus status;
            ASSERT_EQ(WaitForServiceState(kName, SERVICE_RUNNING, status, std::chrono::seconds(10)), 0);
            ASSERT_EQ(status.currentState, SERVICE_RUNNING);
        }
        if (c.hold == Frozen) {
            ASSERT_EQ(::kill(pid, SIGSTOP), 0);
        }
        const SwitchRun run = runSwitch(c.option, c.limit);
        EXPECT_EQ(run.result, EXIT_FAILURE);
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(run.errors, kName + ": the service (process " + std::to_string(pid) + ") did not stop within " +
                                  std::to_string(c.limit.count()) +
                                  " ms, so it stays installed: The service did not respond to the start or "
                                  "control request in a timely fashion. (error 1053)\n");
        EXPECT_TRUE(ServiceExists(kName));
        if (c.hold != None) {
            EXPECT_TRUE(IsProcessAlive(pid));
        }
        ::kill(pid, SIGKILL);
        ASSERT_EQ(WaitForProcessExit(pid, 10000), 0);
    }
}

TEST_F(ServiceRegistrationTest, RemovalRefusesStartsAndTheLoserOfTwoRemovalsSaysItWasAlreadyRemoved) {
    ASSERT_EQ(testsupport::runProgram(m_program, {"-Service"}).exitCode, 0);
    const std::string gate = (m_folder.path() / "gate").string();
    const int pid = start(gate);

    testsupport::ChildProgram winner(m_program, {"-UnregServer"});
    std::string mark;
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return RegQueryStringValue(RegistryHive::LocalMachine, kServiceKey, "DeleteFlag", mark) == 0; }));
    // Marked for deletion: no start is accepted, neither by the manager nor by the tool.
    EXPECT_EQ(StartService(kName), ERROR_SERVICE_MARKED_FOR_DELETE);
    const auto key =
        m_root.path() / "registry" / "HKEY_LOCAL_MACHINE" / "SYSTEM" / "CurrentControlSet" / "Services" / kName;
    ASSERT_TRUE(boost::filesystem::exists(key / "DeleteFlag"));
    FileOpenWatch markRead(key, "DeleteFlag");
    testsupport::ChildProgram loser(m_program, {"-UnregServer"});
    // The second removal has found the first one's mark and waits for it.
    EXPECT_TRUE(markRead.wait());
    std::ofstream(gate).put('\n');  // lets the service run, and so take the first removal's stop

    EXPECT_EQ(winner.wait(std::chrono::seconds(30)), 0);
    EXPECT_EQ(winner.output(), kName + ": unregistered; the running service was stopped and removed\n");
    EXPECT_EQ(loser.wait(std::chrono::seconds(30)), 0);
    EXPECT_EQ(loser.output(), kName + ": unregistered; the service was already removed\n");
    EXPECT_FALSE(ServiceExists(kName));
    EXPECT_FALSE(IsProcessAlive(pid));
}

}  // namespace
