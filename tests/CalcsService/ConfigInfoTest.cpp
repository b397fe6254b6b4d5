#include "service/ConfigInfo.h"

#include <fstream>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "Logging/Log.h"
#include "service/ModuleInfo.h"
#include "support/Fifo.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::string kDefaultFile =
    "[AUTOUPDATE]\n"
    "UPDATE_SERVER_IP=updates.tesk.invalid\n"
    "CHECK_VERSION_PATH=/CalcsServiceUpdates/win/check.ashx?product=tesklocalsvc&version=\n"
    "DOWNLOAD_VERSION_PATH=/CalcsServiceUpdates/win/download.ashx?product=tesklocalsvc\n"
    "USE_PROXY=0\n"
    "PROXY_IP=\n"
    "PROXY_PORT=0";

class ConfigInfoTest : public ::testing::Test {
protected:
    ConfigInfoTest() : m_path((m_dir.path() / "TeskLocalSvc.cfg").string()) {
        Logging::initLogging(m_dir.str() + "/Logs/Unit%Y-%b-%d.log");
    }

    void write(const std::string& text) { std::ofstream(m_path, std::ios::binary) << text; }
    std::string fileText() const {
        std::ifstream in(m_path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> errors() const {
        std::vector<std::string> found;
        for (const auto& message : testsupport::logMessages(m_dir.path()))
            if (message.rfind("error ", 0) == 0)
                found.push_back(message);
        return found;
    }
    static void expectDefaults(const ConfigInfo& config) {
        EXPECT_EQ(config.updateServer(), "updates.tesk.invalid");
        EXPECT_EQ(config.checkVersionPath(), "/CalcsServiceUpdates/win/check.ashx?product=tesklocalsvc&version=");
        EXPECT_EQ(config.downloadVersionPath(), "/CalcsServiceUpdates/win/download.ashx?product=tesklocalsvc");
        EXPECT_EQ(config.proxyIP(), "");
        EXPECT_EQ(config.proxyPort(), 0);
        EXPECT_FALSE(config.useProxy());
    }

    testsupport::TempDir m_dir;
    const std::string m_path;
};

TEST_F(ConfigInfoTest, MissingFileGivesTheDefaultsWithoutError) {
    ConfigInfo config(m_path);
    expectDefaults(config);
    EXPECT_THAT(testsupport::logMessages(m_dir.path()), ElementsAre("info load config from: " + m_path));
    config.saveAutoUpdateConfig();
    EXPECT_EQ(fileText(), kDefaultFile);
}

TEST_F(ConfigInfoTest, SavedFileHasTheExactTextAndLoadsBack) {
    ConfigInfo config(m_path);
    ASSERT_TRUE(config.setUpdateServer("upd.example.invalid"));
    ASSERT_TRUE(config.setCheckVersionPath("/check?a=1&b="));
    ASSERT_TRUE(config.setDownloadVersionPath("/download?x=[y]"));
    ASSERT_TRUE(config.setProxyIP("10.1.2.3"));
    config.setProxyPort(8080);
    config.setUseProxy(true);
    config.saveAutoUpdateConfig();
    EXPECT_EQ(fileText(),
              "[AUTOUPDATE]\nUPDATE_SERVER_IP=upd.example.invalid\nCHECK_VERSION_PATH=/check?a=1&b=\n"
              "DOWNLOAD_VERSION_PATH=/download?x=[y]\nUSE_PROXY=1\nPROXY_IP=10.1.2.3\nPROXY_PORT=8080");

    ConfigInfo loaded(m_path);
    EXPECT_EQ(loaded.updateServer(), "upd.example.invalid");
    EXPECT_EQ(loaded.checkVersionPath(), "/check?a=1&b=");
    EXPECT_EQ(loaded.downloadVersionPath(), "/download?x=[y]");
    EXPECT_EQ(loaded.proxyIP(), "10.1.2.3");
    EXPECT_EQ(loaded.proxyPort(), 8080);
    EXPECT_TRUE(loaded.useProxy());
    EXPECT_TRUE(errors().empty());
    // Written in one step: no temporary file stays beside it.
    EXPECT_EQ(testsupport::filesIn(m_dir.path()).size(), 1u);
}

TEST_F(ConfigInfoTest, FileOverridesOnlyTheKeysItHolds) {
    write("[AUTOUPDATE]\nUSE_PROXY=1\n");
    ConfigInfo config(m_path);
    EXPECT_TRUE(config.useProxy());
    EXPECT_EQ(config.updateServer(), "updates.tesk.invalid");
    EXPECT_EQ(config.proxyPort(), 0);
}

TEST_F(ConfigInfoTest, WindowsLineEndsAndNegativePortLoad) {
    write("[AUTOUPDATE]\r\nPROXY_IP=proxy.invalid\r\nPROXY_PORT=-1\r\nUSE_PROXY=true\r\n");
    ConfigInfo config(m_path);
    EXPECT_EQ(config.proxyIP(), "proxy.invalid");
    EXPECT_EQ(config.proxyPort(), -1);
    EXPECT_TRUE(config.useProxy());
}

TEST_F(ConfigInfoTest, InvalidFileChangesNothing) {
    // Each file starts with valid keys that the parser would already have stored.
    const std::vector<std::string> invalid = {
        "[AUTOUPDATE]\nPROXY_IP=1.2.3.4\nUNKNOWN_KEY=1\n",
        "[AUTOUPDATE]\nPROXY_IP=1.2.3.4\nUSE_PROXY=1\nPROXY_PORT=eighty\n",
        "[AUTOUPDATE]\nPROXY_IP=1.2.3.4\nUSE_PROXY=maybe\n",
        "[AUTOUPDATE]\nPROXY_IP=1.2.3.4\nPROXY_IP=5.6.7.8\n",
        "PROXY_IP=1.2.3.4\n[AUTOUPDATE]\n",
        // Texts that a settings request could not store either.
        "[AUTOUPDATE]\nPROXY_IP=1.2.3.4\nUPDATE_SERVER_IP=" + std::string(256, 's') + "\n",
        "[AUTOUPDATE]\nPROXY_IP=1.2.3.4\nCHECK_VERSION_PATH=" + std::string("a\0b", 3) + "\n",
        "[AUTOUPDATE]\nPROXY_IP=" + std::string(256, 'p') + "\n",
    };
    for (const auto& text : invalid) {
        SCOPED_TRACE(text);
        write(text);
        ConfigInfo config(m_path);
        expectDefaults(config);
        const auto logged = errors();
        ASSERT_FALSE(logged.empty());
        EXPECT_EQ(logged.back().rfind("error ConfigInfo::load error:", 0), 0u) << logged.back();
    }
    EXPECT_EQ(errors().size(), invalid.size());
}

TEST_F(ConfigInfoTest, FailedReloadKeepsTheValuesLoadedBefore) {
    write("[AUTOUPDATE]\nPROXY_PORT=3128\n");
    ConfigInfo config(m_path);
    ASSERT_EQ(config.proxyPort(), 3128);
    write("[AUTOUPDATE]\nPROXY_PORT=1\nPROXY_IP=x\nBAD=1\n");
    config.load();
    EXPECT_EQ(config.proxyPort(), 3128);
    EXPECT_EQ(config.proxyIP(), "");
}

TEST_F(ConfigInfoTest, ValuesThatWouldCorruptTheFileAreRefused) {
    ConfigInfo config(m_path);
    ASSERT_TRUE(config.setProxyIP("good"));
    for (const auto& value : std::vector<std::string>{"a\nUSE_PROXY=1", "a\rb", std::string("a\0b", 3), "a#b", " a",
                                                     "a ", "\ta", std::string(256, 'a')}) {
        EXPECT_FALSE(config.setProxyIP(value));
        EXPECT_FALSE(config.setUpdateServer(value));
        EXPECT_FALSE(config.setCheckVersionPath(value));
        EXPECT_FALSE(config.setDownloadVersionPath(value));
    }
    EXPECT_EQ(config.proxyIP(), "good");
    EXPECT_EQ(config.updateServer(), "updates.tesk.invalid");
    EXPECT_EQ(errors().size(), 32u);
    EXPECT_THAT(errors().front(), HasSubstr("PROXY_IP"));
    EXPECT_THAT(errors().back(), HasSubstr("DOWNLOAD_VERSION_PATH of 256 bytes refused, at most 255"));
    EXPECT_TRUE(config.setProxyIP(""));  // empty is fine: "PROXY_IP=" loads back as empty

    // The longest text taken is also loaded back.
    ASSERT_TRUE(config.setUpdateServer(std::string(255, 'u')));
    config.saveAutoUpdateConfig();
    EXPECT_EQ(ConfigInfo(m_path).updateServer(), std::string(255, 'u'));
    EXPECT_EQ(errors().size(), 32u);
}

TEST_F(ConfigInfoTest, FileThatIsNoRegularFileOrTooLargeIsRefusedAtOnce) {
    ASSERT_TRUE(testsupport::makeFifo(m_path));
    ASSERT_TRUE(testsupport::finishesWithoutAWriter(m_path, [&] { expectDefaults(ConfigInfo(m_path)); }));
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_THAT(errors()[0], HasSubstr("ConfigInfo::load error:can't read " + m_path + ": not a regular file"));

    boost::filesystem::remove(m_path);
    boost::filesystem::create_symlink("/dev/null", m_path);
    expectDefaults(ConfigInfo(m_path));
    ASSERT_EQ(errors().size(), 2u);
    EXPECT_THAT(errors()[1], HasSubstr("not a regular file"));

    // Valid, but padded beyond 1 MiB with a comment.
    boost::filesystem::remove(m_path);
    write("[AUTOUPDATE]\nPROXY_PORT=7\n#" + std::string(1024 * 1024, 'x'));
    expectDefaults(ConfigInfo(m_path));
    ASSERT_EQ(errors().size(), 3u);
    EXPECT_THAT(errors()[2], HasSubstr("larger than 1048576 bytes"));
}

TEST_F(ConfigInfoTest, FileThatFailedToLoadIsKeptAsideBeforeItIsReplaced) {
    const std::string userFile = "[AUTOUPDATE]\nUPDATE_SERVER_IP=user.example.invalid\nUSE_PROXY=maybe\n";
    const auto keptFiles = [&] {
        std::vector<boost::filesystem::path> kept;
        for (const auto& file : testsupport::filesIn(m_dir.path()))
            if (file.filename().string().rfind("TeskLocalSvc.cfg.bad-", 0) == 0)
                kept.push_back(file);
        return kept;
    };
    write(userFile);
    ConfigInfo config(m_path);
    expectDefaults(config);
    config.saveAutoUpdateConfig();
    EXPECT_EQ(fileText(), kDefaultFile);
    auto kept = keptFiles();
    ASSERT_EQ(kept.size(), 1u);
    std::ifstream in(kept[0].string(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), userFile);
    const auto logged = testsupport::logMessages(m_dir.path());
    EXPECT_THAT(logged, ::testing::Contains("warning ConfigInfo: " + m_path + " could not be loaded, kept as " +
                                            kept[0].string()));
    // Kept once: the file now holds what was saved.
    config.saveAutoUpdateConfig();
    EXPECT_EQ(keptFiles().size(), 1u);

    // Another failed file, kept within the same second, gets a name of its own.
    write(userFile);
    ConfigInfo again(m_path);
    again.resetAutoUpdateConfig();
    EXPECT_EQ(keptFiles().size(), 2u);
    EXPECT_EQ(fileText(), kDefaultFile);

    // A name too long to take the kept file's suffix: the file cannot be kept, so it is not replaced,
    // although a save could write it.
    const std::string longPath = (m_dir.path() / (std::string(236, 'n') + ".cfg")).string();
    std::ofstream(longPath, std::ios::binary) << userFile;
    ConfigInfo unkept(longPath);
    unkept.resetAutoUpdateConfig();
    std::ifstream longFile(longPath, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(longFile), std::istreambuf_iterator<char>()), userFile);
    EXPECT_THAT(errors().back(), HasSubstr("can't keep " + longPath + ", which could not be loaded, so it is not "
                                           "replaced: File name too long (36)"));
    EXPECT_EQ(testsupport::filesIn(m_dir.path()).size(), 4u);  // nothing else made beside them
}

TEST_F(ConfigInfoTest, ResetRestoresAndSavesTheDefaults) {
    write("[AUTOUPDATE]\nUPDATE_SERVER_IP=other\nUSE_PROXY=1\nPROXY_IP=p\nPROXY_PORT=1\n");
    ConfigInfo config(m_path);
    config.resetAutoUpdateConfig();
    expectDefaults(config);
    EXPECT_EQ(fileText(), kDefaultFile);
}

TEST_F(ConfigInfoTest, FailedSaveIsLoggedAndKeepsTheValues) {
    ConfigInfo config((m_dir.path() / "no-such-folder" / "TeskLocalSvc.cfg").string());
    config.setProxyPort(99);
    config.saveAutoUpdateConfig();
    EXPECT_EQ(config.proxyPort(), 99);
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_THAT(errors()[0], HasSubstr("ConfigInfo::saveAutoUpdateConfig error"));
}

TEST_F(ConfigInfoTest, InstanceUsesTheFileBesideTheExecutable) {
    g_strModuleDir = m_dir.str();
    EXPECT_EQ(ConfigInfo::getConfigFilePath(), m_path);
    write("[AUTOUPDATE]\nPROXY_PORT=4\n");
    EXPECT_EQ(ConfigInfo::instance().proxyPort(), 4);
    EXPECT_EQ(&ConfigInfo::instance(), &ConfigInfo::instance());
}

TEST_F(ConfigInfoTest, ConcurrentChangesAndSavesKeepTheFileWhole) {
    ConfigInfo config(m_path);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&config, t] {
            for (int i = 0; i < 50; ++i) {
                config.setProxyIP("host" + std::to_string(t));
                config.setProxyPort(t * 1000 + i);
                config.setUseProxy(i % 2 == 0);
                config.saveAutoUpdateConfig();
                EXPECT_EQ(config.proxyIP().rfind("host", 0), 0u);
            }
        });
    for (auto& thread : threads)
        thread.join();
    ConfigInfo loaded(m_path);
    EXPECT_EQ(loaded.proxyIP(), config.proxyIP());
    EXPECT_EQ(loaded.proxyPort(), config.proxyPort());
    EXPECT_EQ(loaded.useProxy(), config.useProxy());
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(testsupport::filesIn(m_dir.path()).size(), 1u);
}

}  // namespace
