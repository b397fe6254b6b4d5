// Finding the client by name and restarting it in a fake user session: a copied sleep stands in for the
// session's shell process, the probe program for the client.
#include "process/ClientRestarter.h"

#include <chrono>
#include <cstdlib>
#include <csignal>
#include <fstream>
#include <future>
#include <thread>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "Logging/Log.h"
#include "platform/Processes.h"
#include "platform/UserSession.h"
#include "process/ProcessFinder.h"
#include "support/Fifo.h"
#include "support/ThreadCount.h"

namespace {

namespace fs = boost::filesystem;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsSupersetOf;
using ::testing::Not;

// The user of the fake session: nobody when the test runs as root (a root service switches to it).
const uid_t kSessionUser = ::geteuid() == 0 ? 65534 : ::geteuid();
const gid_t kSessionGroup = ::geteuid() == 0 ? 65534 : ::getegid();

class ClientRestartTest : public ::testing::Test {
protected:
    ClientRestartTest() : m_suffix("-" + std::to_string(::getpid())) {
        Logging::initLogging(m_log.str() + "/Logs/Unit%Y-%b-%d.log");
        // Created here, before any restart thread logs, as a service's entry does: Boost.Log creates it
        // lazily under a lock of its own that TSan does not see.
        Logging::ups_logger::get();
        // The session's user runs and writes in the folder; relaunched clients start in the current one.
        fs::permissions(m_folder.path(), fs::all_all);
        m_previousFolder = fs::current_path();
        fs::current_path(m_folder.path());
    }
    ~ClientRestartTest() override {
        for (const char* name : kServiceOnlyNames)
            ::unsetenv(name);
        fs::current_path(m_previousFolder);
        // Only copies in this case's folder: a name such as "adl.exe" may be another run's program too.
        for (const auto& name : m_started)
            for (int pid : platform::FindProcessesByName(name))
                if (fs::path(platform::ProcessExePath(pid)).parent_path() == m_folder.path())
                    ::kill(pid, SIGKILL);
    }

    // A copy of program in the folder, runnable by the session's user.
    std::string copy(const std::string& program, const std::string& name) {
        const std::string path = testsupport::copyProgram(program, m_folder.path(), name);
        fs::permissions(path, fs::owner_all | fs::group_read | fs::group_exe | fs::others_read | fs::others_exe);
        m_started.push_back(name);
        return path;
    }

    int spawn(const std::string& path, const std::vector<std::string>& args, const platform::SpawnIdentity* as) {
        int pid = 0;
        EXPECT_EQ(platform::SpawnDetached(path, args, m_folder.str(), pid, platform::SpawnStdio::Null, as), 0);
        return pid;
    }

    // Starts the session's shell process as the session's user with an environment of its own.
    int startSession(bool asRoot = false) {
        std::ofstream(platform::SessionConfigPath()) << "ShellProcess=" << shellName() << "\n"
                                                     << (asRoot ? "" : "ConsoleUser=" + std::to_string(kSessionUser) + "\n");
        platform::SpawnIdentity session;
        session.switchUser = !asRoot && ::geteuid() == 0;
        session.uid = kSessionUser;
        session.gid = kSessionGroup;
        session.environment = {"TESK_SESSION_MARK=fake" + m_suffix, "TESK_PROBE_LINGER=1", "PATH=/usr/bin:/bin"};
        return spawn(copy("/bin/sleep", shellName()), {"600"}, &session);
    }
    std::string shellName() const { return "TeskShell" + m_suffix; }

    // A running client: the probe, lingering.
    std::string startClient(int& pid) {
        const std::string path = copy(TESK_PROBE, "TeskClient" + m_suffix);
        platform::SpawnIdentity lingering;
        lingering.environment = {"TESK_PROBE_LINGER=1"};
        pid = spawn(path, {}, &lingering);
        return path;
    }

    std::vector<testsupport::ProbeReport> reports() const {
        return testsupport::probeReports(m_folder.path(), "TeskClient" + m_suffix);
    }
    std::vector<std::string> messages() const { return testsupport::logMessages(m_log.path()); }

    // Variables the service has and the session has not; one whose name begins with a session variable's.
    static constexpr const char* kServiceOnlyNames[] = {"TESK_SERVICE_MARK", "TESK_SESSION_MARK_LONGER"};

    const std::string m_suffix;
    testsupport::ScopedPlatformRoot m_root;
    testsupport::TempDir m_folder;
    testsupport::TempDir m_log;
    fs::path m_previousFolder;
    std::vector<std::string> m_started;
};

// One case: "adl.exe" is looked up machine-wide, so parallel cases (and other programs of that name, such
// as another run's) would be found too: the fallback may give any "adl.exe", but never the client.
TEST_F(ClientRestartTest, ClientIsFoundByItsExactNameOrElseByItsLauncher) {
    int clientPid = 0;
    startClient(clientPid);
    const std::string name = "TeskClient" + m_suffix;
    ASSERT_TRUE(testsupport::waitUntil([&] { return reports().size() == 1; }));
    EXPECT_EQ(findProcessByModuleName(name).Pid(), clientPid);
    EXPECT_NE(findProcessByModuleName("teskclient" + m_suffix).Pid(), clientPid);

    const int launcherPid = spawn(copy("/bin/sleep", "adl.exe"), {"600"}, nullptr);
    const int fallback = findProcessByModuleName("teskclient" + m_suffix).Pid();
    EXPECT_THAT(platform::FindProcessesByName("adl.exe"), AllOf(Contains(launcherPid), Contains(fallback)));
    EXPECT_EQ(findProcessByModuleName(name).Pid(), clientPid);
}

// The relaunched client gets the service's environment with the session's laid over it: a variable of
// both has the session's value, the service's others stay.
TEST_F(ClientRestartTest, KilledClientIsRelaunchedOnceInTheSessionWithItsEnvironment) {
    for (const char* name : kServiceOnlyNames)
        ::setenv(name, "service", 1);
    ::setenv("TESK_SESSION_MARK", "service", 1);
    startSession();
    int clientPid = 0;
    const std::string path = startClient(clientPid);
    const std::string name = fs::path(path).filename().string();
    // The same program by another path: the client is found by its name, so this adds nothing.
    const std::string samePath = m_folder.str() + "/./" + name;
    process::ClientRestarter restarter;
    restarter.restart(findProcessByModuleName(name), path);
    restarter.restart(findProcessByModuleName(name), path);
    restarter.restart(findProcessByModuleName(name), samePath);
    ASSERT_TRUE(testsupport::waitUntil([&] { return reports().size() == 1; }));
    ::kill(clientPid, SIGKILL);

    ASSERT_TRUE(testsupport::waitUntil([&] { return reports().size() == 2; }));
    int relaunched = 0;
    for (int pid : platform::FindProcessesByName("TeskClient" + m_suffix))
        relaunched = pid;
    ASSERT_NE(relaunched, 0);
    ASSERT_NE(relaunched, clientPid);
    platform::ProcessCredentials credentials;
    ASSERT_EQ(platform::ReadProcessCredentials(relaunched, credentials), 0);
    EXPECT_EQ(credentials.uid, kSessionUser);
    std::vector<std::string> environment;
    ASSERT_EQ(platform::ReadProcessEnvironment(relaunched, environment), 0);
    EXPECT_THAT(environment,
                IsSupersetOf({"TESK_SESSION_MARK=fake" + m_suffix, std::string("TESK_SERVICE_MARK=service"),
                              std::string("TESK_SESSION_MARK_LONGER=service")}));
    EXPECT_THAT(environment, Not(Contains("TESK_SESSION_MARK=service")));
    for (const auto& report : reports())
        EXPECT_THAT(report.fds, ElementsAre(0, 1, 2));

    restarter.stop();
    EXPECT_EQ(platform::FindProcessesByName("TeskClient" + m_suffix).size(), 1u);
    const std::string pending = "warning a restart of " + name + " is pending already, restart of ";
    EXPECT_THAT(messages(), ElementsAre(pending + path + " ignored", pending + samePath + " ignored",
                                        "info try to run:" + path,
                                        "info started " + path + " in the user session, pid:" + std::to_string(relaunched)));
}

// As a hostile client would ask: many paths ending in a running program's name, then paths of many other
// names, each waiting for that program. One restart per name waits, sixteen at most; each other request
// is logged and dropped, holding no thread.
TEST_F(ClientRestartTest, PendingRestartsAreOnePerProgramNameAndSixteenAtMost) {
    int clientPid = 0;
    const std::string path = startClient(clientPid);
    const std::string name = fs::path(path).filename().string();
    std::thread([] {}).join();  // a thread sanitizer starts its own thread with the first one created
    const std::size_t threads = testsupport::threadCount();
    std::vector<std::string> expected;
    process::ClientRestarter restarter;
    for (int i = 0; i < 1100; ++i) {
        const std::string samePath = "/nowhere/" + std::to_string(i) + "/" + name;
        restarter.restart(platform::ProcessHandle::Open(clientPid), samePath);
        if (i > 0)
            expected.push_back("warning a restart of " + name + " is pending already, restart of " + samePath +
                               " ignored");
    }
    for (int i = 1; i <= 20; ++i) {
        const std::string otherPath = "/nowhere/" + name + "-" + std::to_string(i);
        restarter.restart(platform::ProcessHandle::Open(clientPid), otherPath);
        if (i >= 16)  // the first name and fifteen others wait
            expected.push_back("warning 16 restarts are pending already, restart of " + otherPath + " ignored");
    }
    EXPECT_EQ(testsupport::threadCount() - threads, 16u);
    restarter.stop();
    EXPECT_EQ(testsupport::threadCount(), threads);
    EXPECT_EQ(messages(), expected);  // and nothing started
}

TEST_F(ClientRestartTest, ClientStillRunningAfterTheWaitLimitIsNotRelaunched) {
    startSession();
    int clientPid = 0;
    const std::string path = startClient(clientPid);
    {
        process::ClientRestarter restarter(std::chrono::milliseconds(200));
        restarter.restart(findProcessByModuleName(fs::path(path).filename().string()), path);
        ASSERT_TRUE(testsupport::waitUntil([&] { return !messages().empty(); }));
    }
    EXPECT_THAT(messages(), ElementsAre("error can't check tesk state"));
    EXPECT_EQ(platform::FindProcessesByName("TeskClient" + m_suffix), std::vector<int>{clientPid});
}

TEST_F(ClientRestartTest, StopWakesAWaitingRestartWithoutALaunch) {
    startSession();
    int clientPid = 0;
    const std::string path = startClient(clientPid);
    process::ClientRestarter restarter;
    restarter.restart(findProcessByModuleName(fs::path(path).filename().string()), path);
    auto stopped = std::async(std::launch::async, [&] { restarter.stop(); });
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    restarter.restart(platform::ProcessHandle(), path);
    EXPECT_THAT(messages(), ElementsAre("warning the service is stopping, restart of " + path + " ignored"));
}

TEST_F(ClientRestartTest, SessionFileThatIsNoRegularFileTooLargeOrALinkFailsAtOnce) {
    const std::string path = copy(TESK_PROBE, "TeskClient" + m_suffix);
    const std::string session = platform::SessionConfigPath();
    const auto restart = [&] {
        process::ClientRestarter restarter;
        restarter.restart(platform::ProcessHandle(), path);
    };
    ASSERT_TRUE(testsupport::makeFifo(session));
    ASSERT_TRUE(testsupport::finishesWithoutAWriter(session, restart));
    fs::remove(session);
    std::ofstream(session) << "ShellProcess=" << shellName() << "\n#" << std::string(1024 * 1024, 'x') << "\n";
    restart();
    // A link in the file's place, even to a valid file, is not followed.
    fs::remove(session);
    const std::string outside = session + ".outside";
    std::ofstream(outside) << "ShellProcess=" << shellName() << "\n";
    fs::create_symlink(outside, session);
    restart();
    const std::string failed = "error no user session: can't read the ShellProcess of " + session + ": ";
    EXPECT_THAT(messages(), ElementsAre("info try to run:" + path, failed + std::to_string(EINVAL),
                                        "info try to run:" + path, failed + std::to_string(EFBIG),
                                        "info try to run:" + path, failed + std::to_string(ELOOP)));
    EXPECT_THAT(reports(), ::testing::IsEmpty());
}

TEST_F(ClientRestartTest, NothingIsLaunchedWithoutASessionOrAsRoot) {
    const std::string path = copy(TESK_PROBE, "TeskClient" + m_suffix);
    std::ofstream(platform::SessionConfigPath()) << "ShellProcess=" << shellName() << "\n";
    {
        process::ClientRestarter restarter;
        restarter.restart(platform::ProcessHandle(), path);
    }
    std::vector<std::string> expected = {"info try to run:" + path,
                                         "error no user session: no " + shellName() + " process runs"};
    if (::geteuid() == 0) {
        startSession(true);
        process::ClientRestarter restarter;
        restarter.restart(platform::ProcessHandle(), path);
        restarter.stop();
        expected.push_back("info try to run:" + path);
        expected.push_back("error the session's " + shellName() +
                           " process runs as root: a user's program is not started as root");
    }
    EXPECT_EQ(messages(), expected);
    EXPECT_THAT(reports(), ::testing::IsEmpty());
}

}  // namespace
