// Service information and the auto-update and proxy settings: the reply, the stored values and the
// configuration file.
#include "handlers/ServiceHandlers.h"

#include <boost/filesystem.hpp>

#include <gtest/gtest.h>

#include "HandlerFixture.h"
#include "HandlerTestSupport.h"
#include "packets/RequestRefused.h"
#include "service/ConfigInfo.h"
#include "support/WireWriter.h"

namespace {

using bridgetest::valueAt;
using handlertest::anyContains;
using handlertest::run;
using wiretest::WireWriter;

class ServiceHandlers : public handlertest::HandlersWithFake {
protected:
    void SetUp() override {
        HandlersWithFake::SetUp();
        Handlers::ResetAutoUpdateParamsHandler reset;
        run(reset, {});
        EXPECT_TRUE(anyContains(logged(), "info: reset autoupdate params to default values"));
    }
    static ConfigInfo& config() { return ConfigInfo::instance(); }
    static std::vector<std::uint8_t> autoUpdate(const std::string& server, const std::string& check,
                                                const std::string& download) {
        WireWriter w;
        w.str(server).str(check).str(download);
        return w.data();
    }
};

TEST_F(ServiceHandlers, ServiceInformationIsTheBuildsVersionTheUpdateServerAndEight) {
    Handlers::ServiceInfoHandler handler;
    const auto reply = run(handler, {});
    const std::string version = "3.7.3.0";
    const std::string server = config().updateServer();
    ASSERT_EQ(reply.size(), 40 + version.size() + server.size());
    handlertest::expectReplyHeader(reply, 1536);
    EXPECT_EQ(valueAt<std::uint32_t>(reply, 28), version.size());
    EXPECT_EQ(std::string(reply.begin() + 32, reply.begin() + 32 + version.size()), version);
    EXPECT_EQ(std::string(reply.end() - 4 - server.size(), reply.end() - 4), server);
    EXPECT_EQ(std::vector<std::uint8_t>(reply.end() - 4, reply.end()), (std::vector<std::uint8_t>{8, 0, 0, 0}));
}

TEST_F(ServiceHandlers, AutoUpdateSettingsReplaceOnlyTheNonEmptyOnesAndAlwaysSave) {
    Handlers::SetAutoUpdateParamsHandler handler;
    const std::string check = config().checkVersionPath();
    run(handler, autoUpdate("updates.example.test", "", "/download"));
    EXPECT_EQ(config().updateServer(), "updates.example.test");
    EXPECT_EQ(config().checkVersionPath(), check);
    EXPECT_EQ(config().downloadVersionPath(), "/download");
    EXPECT_TRUE(anyContains(logged(), "info: autoupdate params updated: ( IP: updates.example.test, "
                                      "DOWNLOAD_VERSION_PATH: /download, CHECK_VERSION_PATH:" + check + ")"));

    boost::filesystem::remove(ConfigInfo::getConfigFilePath());
    run(handler, autoUpdate("", "", ""));
    EXPECT_TRUE(boost::filesystem::exists(ConfigInfo::getConfigFilePath()));
    EXPECT_EQ(config().updateServer(), "updates.example.test");
}

TEST_F(ServiceHandlers, OverlongOrUnstorableTextsAreRefusedOneByOne) {
    Handlers::SetAutoUpdateParamsHandler handler;
    const std::string server = config().updateServer();
    run(handler, autoUpdate(std::string(256, 's'), std::string(255, 'c'), "bad\npath"));
    EXPECT_EQ(config().updateServer(), server);
    EXPECT_EQ(config().checkVersionPath(), std::string(255, 'c'));
    EXPECT_NE(config().downloadVersionPath(), "bad\npath");
    EXPECT_TRUE(anyContains(logged(), "error: ConfigInfo: UPDATE_SERVER_IP of 256 bytes refused, at most 255"));

    Handlers::ProxyInfoHandler proxy;
    WireWriter w;
    w.u8(1).str(std::string(300, 'p')).u32(8080);
    run(proxy, w.data());
    EXPECT_EQ(config().proxyIP(), "");
    EXPECT_EQ(config().proxyPort(), 8080);
}

// A body that ends inside a field is refused before anything is set or saved; the packet processor logs it.
TEST_F(ServiceHandlers, CutOffSettingsAreRefusedWholeAndTextsAreLoggedEscaped) {
    const std::string server = config().updateServer();
    boost::filesystem::remove(ConfigInfo::getConfigFilePath());
    Handlers::SetAutoUpdateParamsHandler autoUpdateHandler;
    EXPECT_THROW(run(autoUpdateHandler, WireWriter().str("updates.cut.test").str("/check").u32(8).data()),
                 Packets::RequestRefused);
    Handlers::ProxyInfoHandler proxy;
    EXPECT_THROW(run(proxy, WireWriter().u8(1).str("10.9.9.9").data()), Packets::RequestRefused);

    EXPECT_EQ(config().updateServer(), server);
    EXPECT_NE(config().checkVersionPath(), "/check");
    EXPECT_NE(config().proxyIP(), "10.9.9.9");
    EXPECT_FALSE(boost::filesystem::exists(ConfigInfo::getConfigFilePath()));
    EXPECT_TRUE(logged().empty());

    // A whole request's texts are logged with their control bytes written out.
    run(autoUpdateHandler, autoUpdate("esc\x1b[2Jape", "", ""));
    EXPECT_TRUE(anyContains(logged(), "info: autoupdate params updated: ( IP: esc\\x1b[2Jape, "));
}

TEST_F(ServiceHandlers, ProxySettingsAreStoredAndAnEmptyAddressClearsIt) {
    Handlers::ProxyInfoHandler handler;
    WireWriter on;
    on.u8(1).str("10.1.2.3").u32(3128);
    run(handler, on.data());
    EXPECT_TRUE(config().useProxy());
    EXPECT_EQ(config().proxyIP(), "10.1.2.3");
    EXPECT_EQ(config().proxyPort(), 3128);
    EXPECT_TRUE(anyContains(logged(), "info: receive proxy info: (use proxy: 1, proxyIP: 10.1.2.3, proxyPort: 3128)"));

    WireWriter off;
    off.u8(0).str("").u32(0);
    run(handler, off.data());
    EXPECT_FALSE(config().useProxy());
    EXPECT_EQ(config().proxyIP(), "");
}

}  // namespace
