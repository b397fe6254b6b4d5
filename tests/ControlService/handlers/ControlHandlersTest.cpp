// The control requests as the worker runs them: through the control packet processor and the control
// handler table, with the module's folder and the log in a temporary folder.
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "Logging/Log.h"
#include "handlers/ControlHandlerTable.h"
#include "packets/RequestRefused.h"
#include "platform/AtomicFile.h"
#include "process/ClientRestarter.h"
#include "server/ControlPacketProcessor.h"
#include "service/ModuleInfo.h"
#include "support/ProtocolClient.h"
#include "support/WireWriter.h"

namespace {

using testsupport::Bytes;
using ::testing::AnyOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

std::string readFile(const boost::filesystem::path& file) {
    std::string text;
    platform::ReadWholeFile(file.string(), text);
    return text;
}

class ControlHandlersTest : public ::testing::Test {
protected:
    ControlHandlersTest() : m_processor(Handlers::controlHandlerTable(m_restarter)) {
        g_strModuleDir = m_module.str();
        Logging::initLogging(m_module.str() + "/Logs/Unit%Y-%b-%d.log");
        boost::filesystem::create_directories(m_client.path() / "META-INF" / "AIR");
    }

    void run(std::uint32_t type, const Bytes& body = {}) {
        Bytes reply;
        m_processor.process(testsupport::makePacket(type, Control::PROTOCOL_VERSION, body), reply);
        EXPECT_TRUE(reply.empty());  // the control protocol never answers
    }

    void switchDebug(std::uint8_t on, const std::string& folder) {
        run(3, wiretest::WireWriter().u8(on).str(folder).data());
    }

    std::vector<std::string> messages() const { return testsupport::logMessages(m_module.path()); }
    boost::filesystem::path marker() const { return m_client.path() / "META-INF" / "AIR" / "debug"; }

    testsupport::ScopedPlatformRoot m_root;
    testsupport::TempDir m_module;
    testsupport::TempDir m_client;
    process::ClientRestarter m_restarter;
    Control::PacketProcessor m_processor;
};

TEST_F(ControlHandlersTest, DebugMarkerIsCreatedEmptiedAndRemoved) {
    switchDebug(1, m_client.str());
    ASSERT_TRUE(boost::filesystem::is_regular_file(marker()));
    std::ofstream(marker().string()) << "left by the client";
    switchDebug(1, m_client.str());
    EXPECT_EQ(boost::filesystem::file_size(marker()), 0u);
    switchDebug(0, m_client.str());
    EXPECT_FALSE(boost::filesystem::exists(marker()));
    // A marker that is not there, nor its folder, is no failure.
    switchDebug(0, m_client.str());
    switchDebug(0, m_client.str() + "/none");

    const std::string path = m_client.str() + "/META-INF/AIR/debug";
    EXPECT_THAT(messages(), ElementsAre("info switch TESK to debug mode, create file:" + path,
                                        "info switch TESK to debug mode, create file:" + path,
                                        "info switch TESK to normal mode, remove file:" + path,
                                        "info switch TESK to normal mode, remove file:" + path,
                                        "info switch TESK to normal mode, remove file:" + m_client.str() +
                                            "/none/META-INF/AIR/debug"));
}

// A link planted at any part the service appends to the client's folder leads it nowhere: "on" truncates
// nothing and "off" deletes nothing outside the folder. A link as the marker itself is removed by "off".
TEST_F(ControlHandlersTest, LinksBelowTheClientsFolderAreNeverFollowed) {
    // What each link points to holds a file named debug, also one level further down, as the marker
    // would be reached through it.
    const boost::filesystem::path elsewhere = m_module.path() / "elsewhere";
    boost::filesystem::create_directories(elsewhere / "AIR");
    const struct {
        const char* linkAt;  // relative to the client's folder
        const char* target;  // relative to elsewhere
        int error;           // a directory link is not a directory; a link as the marker is a loop
    } cases[] = {{"META-INF", "", ENOTDIR}, {"META-INF/AIR", "", ENOTDIR}, {"META-INF/AIR/debug", "debug", ELOOP}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.linkAt);
        for (const auto& file : {elsewhere / "debug", elsewhere / "AIR" / "debug"})
            std::ofstream(file.string()) << "keep me";
        const boost::filesystem::path link = m_client.path() / c.linkAt;
        boost::filesystem::remove_all(m_client.path() / "META-INF");
        boost::filesystem::create_directories(link.parent_path());
        boost::filesystem::create_symlink(elsewhere / c.target, link);
        const auto logged = messages().size();

        switchDebug(1, m_client.str());
        switchDebug(0, m_client.str());
        EXPECT_EQ(readFile(elsewhere / "debug"), "keep me");
        EXPECT_EQ(readFile(elsewhere / "AIR" / "debug"), "keep me");
        const std::string path = m_client.str() + "/META-INF/AIR/debug";
        const std::string failed = "error debug mode file operation failed: " + std::to_string(c.error);
        std::vector<std::string> expected = {"info switch TESK to debug mode, create file:" + path, failed,
                                             "info switch TESK to normal mode, remove file:" + path};
        if (c.error == ENOTDIR)
            expected.push_back(failed);
        const auto all = messages();
        EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(logged), all.end()), expected);
        EXPECT_EQ(boost::filesystem::is_symlink(link), c.error == ENOTDIR);
    }
}

// A hard link planted as the marker is a second name of another file: "on" leaves that file as it is,
// and "off" removes only the client's name for it.
TEST_F(ControlHandlersTest, HardLinkAsTheMarkerIsNotEmptied) {
    const boost::filesystem::path elsewhere = m_module.path() / "keep";
    std::ofstream(elsewhere.string()) << "keep me";
    boost::filesystem::create_hard_link(elsewhere, marker());

    switchDebug(1, m_client.str());
    EXPECT_EQ(readFile(elsewhere), "keep me");
    switchDebug(0, m_client.str());
    EXPECT_EQ(readFile(elsewhere), "keep me");
    EXPECT_FALSE(boost::filesystem::exists(marker()));
    EXPECT_THAT(messages(), ElementsAre("info switch TESK to debug mode, create file:" + marker().string(),
                                        "error debug mode file operation failed: " + std::to_string(EMLINK),
                                        "info switch TESK to normal mode, remove file:" + marker().string()));
}

// A FIFO planted as the marker fails at once instead of holding the worker until somebody reads it.
TEST_F(ControlHandlersTest, FifoAsTheMarkerDoesNotBlock) {
    ASSERT_EQ(::mkfifo(marker().c_str(), 0600), 0);
    auto switched = std::async(std::launch::async, [&] { switchDebug(1, m_client.str()); });
    if (switched.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "the request waits for a reader of the FIFO";
        const int reader = ::open(marker().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // lets it go on
        switched.wait();
        ::close(reader);
    }
    EXPECT_EQ(boost::filesystem::status(marker()).type(), boost::filesystem::fifo_file);
    EXPECT_THAT(messages(), ElementsAre("info switch TESK to debug mode, create file:" + marker().string(),
                                        "error debug mode file operation failed: " + std::to_string(ENXIO)));
}

TEST_F(ControlHandlersTest, UnusableFolderIsRefusedAndATooLongStringThrows) {
    switchDebug(1, "");
    switchDebug(1, std::string("/tmp\0/x", 7));
    const std::string refused = "error switch TESK debug mode refused: the folder is empty or holds a NUL byte";
    EXPECT_THAT(messages(), ElementsAre(refused, refused));

    // A count beyond the bytes left is refused before anything is allocated; the worker ends the session.
    const Bytes body = wiretest::WireWriter().u8(1).u32(0xFFFFFFFF).bytes("x").data();
    Bytes reply;
    EXPECT_THROW(m_processor.process(testsupport::makePacket(3, 0, body), reply), std::runtime_error);
    EXPECT_THROW(m_processor.process(testsupport::makePacket(4, 0, {2, 0}), reply), std::runtime_error);
}

TEST_F(ControlHandlersTest, SettingsRequestsChangeOnlyTheControlServicesFile) {
    run(5, wiretest::WireWriter().u8(1).str("10.0.0.7").u32(3128).data());
    run(7, wiretest::WireWriter().str("updates.example.org").str("/check").str("/download").data());

    EXPECT_EQ(testsupport::filesIn(m_module.path()),
              std::vector<boost::filesystem::path>{m_module.path() / "TeskCtrlSvc.cfg"});
    const std::string saved = readFile(m_module.path() / "TeskCtrlSvc.cfg");
    EXPECT_THAT(saved, HasSubstr("UPDATE_SERVER_IP=updates.example.org\n"));
    EXPECT_THAT(saved, HasSubstr("CHECK_VERSION_PATH=/check\n"));
    EXPECT_THAT(saved, HasSubstr("DOWNLOAD_VERSION_PATH=/download\n"));
    EXPECT_THAT(saved, HasSubstr("PROXY_IP=10.0.0.7\n"));
    EXPECT_THAT(saved, HasSubstr("PROXY_PORT=3128"));

    run(8);
    EXPECT_THAT(readFile(m_module.path() / "TeskCtrlSvc.cfg"), HasSubstr("UPDATE_SERVER_IP=updates.tesk.invalid\n"));
}

// A body that ends inside a field is refused whole, naming the request type; the worker ends the session.
TEST_F(ControlHandlersTest, SettingsCutOffInsideAFieldChangeNothing) {
    const auto refusal = [&](std::uint32_t type, const Bytes& body) {
        Bytes reply;
        try {
            m_processor.process(testsupport::makePacket(type, Control::PROTOCOL_VERSION, body), reply);
        } catch (const Packets::RequestRefused& e) {
            return std::string(e.what());
        }
        return std::string("not refused");
    };
    EXPECT_EQ(refusal(7, wiretest::WireWriter().str("updates.example.org").str("/check").u32(10).bytes("/d").data()),
              "request type 7 refused: the body ends inside a field");
    EXPECT_EQ(refusal(5, wiretest::WireWriter().u8(1).str("10.0.0.7").u16(3128).data()),
              "request type 5 refused: the body ends inside a field");
    EXPECT_EQ(refusal(4, wiretest::WireWriter().u32(3).bytes("ab").data()),
              "request type 4 refused: the body ends inside a string");
    EXPECT_EQ(refusal(3, {}), "request type 3 refused: the body ends inside a string");
    EXPECT_FALSE(boost::filesystem::exists(m_module.path() / "TeskCtrlSvc.cfg"));
    EXPECT_THAT(messages(), ElementsAre());
}

// Paths are logged with backslashes doubled, as every client text is.
TEST_F(ControlHandlersTest, RestartNamesTheModuleBehindTheLastSeparator) {
    run(4, wiretest::WireWriter().str("C:\\Program Files/TESK\\tesk-client-not-running").data());
    run(4, wiretest::WireWriter().str("tesk-alone-not-running").data());
    m_restarter.stop();
    const std::string received = "info start ro restart TESK, receive tesk path:";
    const std::string windowsPath = "C:\\\\Program Files/TESK\\\\tesk-client-not-running";
    const std::vector<std::string> expected = {received + windowsPath, "info tesk-client-not-running",
                                               received + "tesk-alone-not-running", "info tesk-alone-not-running",
                                               // No such client runs: the restart is tried at once.
                                               "info try to run:" + windowsPath,
                                               "info try to run:tesk-alone-not-running"};
    EXPECT_THAT(messages(), ::testing::IsSupersetOf(expected));
}

// A client's line breaks and other control bytes never start or disguise a log line of their own.
TEST_F(ControlHandlersTest, ClientTextCannotForgeLogLines) {
    const std::string forged = "\nCLIENT-CHOSEN LINE key=value\r\x1b[2K";
    run(4, wiretest::WireWriter().str("/opt/none/tesk-client-not-running" + forged).data());
    m_restarter.stop();
    switchDebug(1, m_client.str() + "/none" + forged);
    switchDebug(0, m_client.str() + "/none" + forged);

    const std::string shown = "\\nCLIENT-CHOSEN LINE key=value\\x0d\\x1b[2K";
    const std::string marker = m_client.str() + "/none" + shown + "/META-INF/AIR/debug";
    const auto logged = messages();
    EXPECT_THAT(logged, ::testing::IsSupersetOf(
                            {"info start ro restart TESK, receive tesk path:/opt/none/tesk-client-not-running" + shown,
                             "info tesk-client-not-running" + shown,
                             "info try to run:/opt/none/tesk-client-not-running" + shown,
                             "info switch TESK to debug mode, create file:" + marker,
                             "info switch TESK to normal mode, remove file:" + marker}));
    for (const std::string& line : logged)
        EXPECT_EQ(line.find_first_of("\r\x1b"), std::string::npos) << line;
    EXPECT_THAT(logged, Not(Contains(::testing::HasSubstr("CLIENT-CHOSEN LINE key=value\r"))));
}

// Type 9 starts the calculations service's updater, type 6 the control service's own. Neither file is
// there, so each logs what it starts and fails with 2 (file not found); one of that name that some other
// program runs already is skipped instead.
TEST_F(ControlHandlersTest, EachUpdaterRequestStartsItsOwnUpdater) {
    run(9);
    run(6);
    const std::string calcs = "\"" + m_module.str() + "/tesklocalsvc_autoupdate.exe\"";
    const std::string own = "\"" + m_module.str() + "/teskctrlsvc_autoupdate.exe\"";
    const std::string skipped = " process already has been launched, skip it this time";
    const auto logged = messages();
    ASSERT_EQ(logged.size(), 4u);
    EXPECT_EQ(logged[0], "info " + calcs + " " + calcs + " force");
    EXPECT_THAT(logged[1], AnyOf("error error, can't launch calcs service autoupdater !2",
                                 "warning tesklocalsvc_autoupdate.exe" + skipped));
    EXPECT_EQ(logged[2], "info " + own + " force");
    EXPECT_THAT(logged[3],
                AnyOf("error error, can't launch autoupdater !", "warning teskctrlsvc_autoupdate.exe" + skipped));
}

TEST_F(ControlHandlersTest, StopAndStartOfAServiceThatIsNotInstalledAreReported) {
    run(1);
    run(2);
    EXPECT_THAT(messages(), ElementsAre("info stop calculation svc:TeskLocalSvc", "error OpenService failed: 1060",
                                        "info start calculation svc:TeskLocalSvc", "error OpenService failed: 1060"));
}

}  // namespace
