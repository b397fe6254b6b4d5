#include "platform/Registry.h"

#include <atomic>
#include <cerrno>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "platform/PlatformTestSupport.h"
#include "platform/ServiceControl.h"

namespace {

using namespace platform;
namespace fs = boost::filesystem;

class RegistryTest : public ::testing::Test {
protected:
    fs::path hivePath(const char* hive) const { return m_root.path() / "registry" / hive; }
    testsupport::ScopedPlatformRoot m_root;
};

TEST_F(RegistryTest, KeysAreFoldersAndValuesAreFilesUnderTheRoot) {
    ASSERT_EQ(RegSetStringValue(RegistryHive::ClassesRoot, "AppID\\{ABC}", "LocalService", "TeskLocalSvc"), 0);
    const auto file = hivePath("HKEY_CLASSES_ROOT") / "AppID" / "{ABC}" / "LocalService";
    ASSERT_TRUE(fs::is_regular_file(file));
    EXPECT_EQ(testsupport::readLines(file), std::vector<std::string>{"TeskLocalSvc"});

    std::string data;
    ASSERT_EQ(RegQueryStringValue(RegistryHive::ClassesRoot, "AppID\\{ABC}", "LocalService", data), 0);
    EXPECT_EQ(data, "TeskLocalSvc");
    ASSERT_EQ(RegSetStringValue(RegistryHive::ClassesRoot, "AppID\\{ABC}", "LocalService", "two\nlines"), 0);
    ASSERT_EQ(RegQueryStringValue(RegistryHive::ClassesRoot, "AppID\\{ABC}", "LocalService", data), 0);
    EXPECT_EQ(data, "two\nlines");
    // Only the value file: the temporary files of the atomic writes are gone.
    EXPECT_EQ(testsupport::filesIn(file.parent_path()).size(), 1u);

    EXPECT_EQ(RegDeleteValue(RegistryHive::ClassesRoot, "AppID\\{ABC}", "LocalService"), 0);
    EXPECT_EQ(RegQueryStringValue(RegistryHive::ClassesRoot, "AppID\\{ABC}", "LocalService", data), ENOENT);
    EXPECT_EQ(RegDeleteValue(RegistryHive::ClassesRoot, "AppID\\{ABC}", "LocalService"), ENOENT);
    EXPECT_TRUE(RegKeyExists(RegistryHive::ClassesRoot, "AppID\\{ABC}"));
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
    ASSERT_EQ(RegSetStringValue(RegistryHive::LocalMachine, "Software\\Uninstall\\TESK", "DisplayName", "x"), 0);
    std::string data;
    EXPECT_EQ(RegQueryStringValue(RegistryHive::LocalMachine, "SOFTWARE\\uninstall\\tesk", "displayname", data), 0);
    EXPECT_EQ(data, "x");
    ASSERT_EQ(RegSetStringValue(RegistryHive::LocalMachine, "SOFTWARE\\UNINSTALL\\Tesk", "DISPLAYNAME", "y"), 0);

    std::vector<std::string> keys;
    ASSERT_EQ(RegEnumSubKeys(RegistryHive::LocalMachine, "software", keys), 0);
    EXPECT_EQ(keys, std::vector<std::string>{"Uninstall"});
    EXPECT_EQ(testsupport::filesIn(hivePath("HKEY_LOCAL_MACHINE") / "Software" / "Uninstall" / "TESK")[0].filename(),
              "DisplayName");
    EXPECT_EQ(RegDeleteKey(RegistryHive::LocalMachine, "software\\uninstall\\tesk"), 0);
    EXPECT_FALSE(RegKeyExists(RegistryHive::LocalMachine, "Software\\Uninstall\\TESK"));
}

TEST_F(RegistryTest, KeyWithSubkeysIsNotDeleted) {
    ASSERT_EQ(RegSetStringValue(RegistryHive::LocalMachine, "A\\B", "v", "1"), 0);
    ASSERT_EQ(RegSetStringValue(RegistryHive::LocalMachine, "A", "w", "2"), 0);
    EXPECT_EQ(RegDeleteKey(RegistryHive::LocalMachine, "A"), ENOTEMPTY);
    std::string data;
    EXPECT_EQ(RegQueryStringValue(RegistryHive::LocalMachine, "A", "w", data), 0);
    EXPECT_EQ(RegDeleteKey(RegistryHive::LocalMachine, "A\\B"), 0);
    EXPECT_EQ(RegDeleteKey(RegistryHive::LocalMachine, "A"), 0);
    EXPECT_EQ(RegDeleteKey(RegistryHive::LocalMachine, "A"), ENOENT);
}

TEST_F(RegistryTest, NamesThatCouldLeaveTheKeyAreRefused) {
    for (const auto& key : std::vector<std::string>{"", "..\\x", "a\\..\\b", "a/b", "a\\\\b", ".hidden", std::string("a\0b", 3)})
        EXPECT_EQ(RegSetStringValue(RegistryHive::LocalMachine, key, "v", "x"), EINVAL) << key;
    for (const auto& name : std::vector<std::string>{"", "..", ".tmp", "a/b", "a\\b"})
        EXPECT_EQ(RegSetStringValue(RegistryHive::LocalMachine, "Key", name, "x"), EINVAL) << name;
    // Nothing was written anywhere under the root.
    EXPECT_FALSE(fs::exists(m_root.path() / "x"));
    EXPECT_FALSE(fs::exists(hivePath("HKEY_LOCAL_MACHINE") / "Key" / "a"));
}

TEST_F(RegistryTest, LinksAreNeverFollowedOutOfTheRegistry) {
    testsupport::TempDir outside;
    for (const char* name : {"a", "b"})
        std::ofstream((outside.path() / name).string()) << name;
    const fs::path hive = hivePath("HKEY_LOCAL_MACHINE");
    ASSERT_EQ(RegCreateKey(RegistryHive::LocalMachine, "Software\\Uninstall"), 0);
    fs::create_symlink(outside.path(), hive / "Software" / "Uninstall" / "TESK");
    fs::create_symlink(outside.path(), hive / "Linked");
    fs::create_symlink(outside.path() / "a", hive / "Software" / "Value");
    const auto untouched = [&] {
        EXPECT_EQ(testsupport::filesIn(outside.path()).size(), 2u);
        EXPECT_EQ(testsupport::readLines(outside.path() / "a"), std::vector<std::string>{"a"});
    };

    // A key that is a link is removed as a link; nothing is taken from where it points.
    EXPECT_EQ(RegDeleteKey(RegistryHive::LocalMachine, "Software\\Uninstall\\TESK"), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(hive / "Software" / "Uninstall" / "TESK")));
    untouched();

    // A link above a key is not entered.
    EXPECT_EQ(RegSetStringValue(RegistryHive::LocalMachine, "Linked\\Key", "v", "x"), ELOOP);
    EXPECT_EQ(RegCreateKey(RegistryHive::LocalMachine, "Linked\\Key"), ELOOP);
    EXPECT_EQ(RegDeleteValue(RegistryHive::LocalMachine, "Linked", "a"), ELOOP);
    EXPECT_EQ(RegDeleteKey(RegistryHive::LocalMachine, "Linked\\Sub"), ELOOP);
    EXPECT_FALSE(RegKeyExists(RegistryHive::LocalMachine, "Linked"));
    std::string data;
    EXPECT_EQ(RegQueryStringValue(RegistryHive::LocalMachine, "Linked", "a", data), ELOOP);
    // A value that is a link is no value.
    EXPECT_EQ(RegQueryStringValue(RegistryHive::LocalMachine, "Software", "Value", data), ENOENT);
    EXPECT_EQ(RegDeleteValue(RegistryHive::LocalMachine, "Software", "Value"), ENOENT);
    fs::create_symlink(outside.path(), hive / "Software" / "LinkedKey");
    std::vector<std::string> keys;
    ASSERT_EQ(RegEnumSubKeys(RegistryHive::LocalMachine, "Software", keys), 0);
    EXPECT_EQ(keys, std::vector<std::string>{"Uninstall"});
    untouched();
    EXPECT_TRUE(fs::is_symlink(hive / "Linked"));
}

// The registry's folder or a hive's folder as a link: refused before anything, the change lock
// included, is made where it points.
TEST_F(RegistryTest, RegistryOrHiveFolderThatIsALinkIsNeverEntered) {
    testsupport::TempDir outside;
    const fs::path registry = m_root.path() / "registry";
    std::string data;
    std::vector<std::string> keys;
    const auto refusedEverywhere = [&] {
        EXPECT_EQ(RegCreateKey(RegistryHive::LocalMachine, "Key"), ELOOP);
        EXPECT_EQ(RegSetStringValue(RegistryHive::LocalMachine, "Key", "v", "x"), ELOOP);
        EXPECT_EQ(RegDeleteValue(RegistryHive::LocalMachine, "Key", "v"), ELOOP);
        EXPECT_EQ(RegDeleteKey(RegistryHive::LocalMachine, "Key"), ELOOP);
        EXPECT_EQ(RegQueryStringValue(RegistryHive::LocalMachine, "Key", "v", data), ELOOP);
        EXPECT_EQ(RegEnumSubKeys(RegistryHive::LocalMachine, "Key", keys), ELOOP);
        EXPECT_FALSE(RegKeyExists(RegistryHive::LocalMachine, "Key"));
        EXPECT_TRUE(fs::is_empty(outside.path()));
    };
    fs::create_directory_symlink(outside.path(), registry);
    refusedEverywhere();
    // The service manager says why it finds no service.
    EXPECT_EQ(OpenService("TeskLocalSvc"), ELOOP);

    fs::remove(registry);
    fs::create_directories(registry);
    fs::create_directory_symlink(outside.path(), hivePath("HKEY_LOCAL_MACHINE"));
    refusedEverywhere();
}

TEST_F(RegistryTest, WritersOfOneNameInTwoSpellingsMakeOneKeyAndOneValue) {
    constexpr int kRounds = 30;
    for (int i = 0; i < kRounds; ++i) {
        const std::string n = std::to_string(i);
        std::atomic<int> ready{0};
        const auto write = [&](const std::string& key, const char* name) {
            ++ready;
            while (ready < 2) {
            }
            EXPECT_EQ(RegSetStringValue(RegistryHive::LocalMachine, key, name, "x"), 0);
        };
        std::thread upper(write, "R\\KEY" + n, "NAME");
        write("R\\Key" + n, "Name");
        upper.join();
    }
    std::vector<std::string> keys;
    ASSERT_EQ(RegEnumSubKeys(RegistryHive::LocalMachine, "R", keys), 0);
    EXPECT_EQ(keys.size(), static_cast<std::size_t>(kRounds));
    for (const auto& key : keys)
        EXPECT_EQ(testsupport::filesIn(hivePath("HKEY_LOCAL_MACHINE") / "R" / key).size(), 1u) << key;
}

TEST_F(RegistryTest, ValueNamesUpToTheFileNameLimitWork) {
    const std::string longest(255, 'v');
    ASSERT_EQ(RegSetStringValue(RegistryHive::LocalMachine, "K", longest, "x"), 0);
    ASSERT_EQ(RegSetStringValue(RegistryHive::LocalMachine, "K", longest, "y"), 0);
    std::string data;
    ASSERT_EQ(RegQueryStringValue(RegistryHive::LocalMachine, "K", longest, data), 0);
    EXPECT_EQ(data, "y");
    EXPECT_EQ(RegSetStringValue(RegistryHive::LocalMachine, "K", longest + "v", "x"), ENAMETOOLONG);
    EXPECT_EQ(testsupport::filesIn(hivePath("HKEY_LOCAL_MACHINE") / "K").size(), 1u);
    EXPECT_EQ(RegDeleteValue(RegistryHive::LocalMachine, "K", longest), 0);
}

TEST_F(RegistryTest, ReadersNeverSeeAPartialValue) {
    const std::string first(64 * 1024, 'a'), second(64 * 1024, 'b');
    ASSERT_EQ(RegSetStringValue(RegistryHive::LocalMachine, "K", "v", first), 0);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 200; ++i)
            RegSetStringValue(RegistryHive::LocalMachine, "K", "v", i % 2 ? first : second);
        done = true;
    });
    int reads = 0;
    while (!done) {
        std::string data;
        ASSERT_EQ(RegQueryStringValue(RegistryHive::LocalMachine, "K", "v", data), 0);
        ASSERT_TRUE(data == first || data == second) << "read " << data.size() << " bytes";
        ++reads;
    }
    writer.join();
    EXPECT_GT(reads, 0);
}

}  // namespace
