// The control requests as the worker runs them: through the control packet processor and the control
// handler table, with the module's folder and the log in a temporary folder.
#include <fstream>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "Logging/Log.h"
#include "handlers/ControlHandlerTable.h"
#include "platform/AtomicFile.h"
#include "process/ClientRestarter.h"
#include "server/ControlPacketProcessor.h"
#include "service/ModuleInfo.h"
#include "support/ProtocolClient.h"
#include "support/WireWriter.h"

namespace {

using testsupport::Bytes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

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
    // A marker that is not there is no failure.
    switchDebug(0, m_client.str());

    const std::string path = m_client.str() + "/META-INF/AIR/debug";
    EXPECT_THAT(messages(), ElementsAre("info switch TESK to debug mode, create file:" + path,
                                        "info switch TESK to debug mode, create file:" + path,
                                        "info switch TESK to normal mode, remove file:" + path,
                                        "info switch TESK to normal mode, remove file:" + path));
}

TEST_F(ControlHandlersTest, SymlinkedMarkerNeverTouchesItsTarget) {
    const boost::filesystem::path target = m_module.path() / "precious.txt";
    std::ofstream(target.string()) << "keep me";
    boost::filesystem::create_symlink(target, marker());

    switchDebug(1, m_client.str());
    EXPECT_EQ(readFile(target), "keep me");
    const auto logged = messages();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0], "info switch TESK to debug mode, create file:" + m_client.str() + "/META-INF/AIR/debug");
    EXPECT_EQ(logged[1], "error debug mode file operation failed: " + std::to_string(ELOOP));

    // Normal mode removes the link, not what it points to.
    switchDebug(0, m_client.str());
    EXPECT_FALSE(boost::filesystem::is_symlink(marker()));
    EXPECT_EQ(readFile(target), "keep me");
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

TEST_F(ControlHandlersTest, RestartNamesTheModuleBehindTheLastSeparator) {
    run(4, wiretest::WireWriter().str("C:\\Program Files/TESK\\tesk-client-not-running").data());
    run(4, wiretest::WireWriter().str("tesk-client-not-running").data());
    m_restarter.stop();
    const std::string received = "info start ro restart TESK, receive tesk path:";
    const std::vector<std::string> expected = {received + "C:\\Program Files/TESK\\tesk-client-not-running",
                                               received + "tesk-client-not-running", "info tesk-client-not-running",
                                               // No such client runs: the restart is tried at once.
                                               "info try to run:tesk-client-not-running"};
    EXPECT_THAT(messages(), ::testing::IsSupersetOf(expected));
}

TEST_F(ControlHandlersTest, StopAndStartOfAServiceThatIsNotInstalledAreReported) {
    run(1);
    run(2);
    EXPECT_THAT(messages(), ElementsAre("info stop calculation svc:TeskLocalSvc", "error OpenService failed: 1060",
                                        "info start calculation svc:TeskLocalSvc", "error OpenService failed: 1060"));
}

}  // namespace
