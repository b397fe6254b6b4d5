// A local user swaps a folder under the platform root with a link to a folder of its own, again and
// again, while the registry and the service manager work there: nothing outside the root is ever
// written or removed.
#include <algorithm>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/PlatformTestSupport.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"
#include "support/LinkSwapper.h"

namespace {

using namespace platform;
namespace fs = boost::filesystem;

std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class LinkSwapTest : public ::testing::Test {
protected:
    testsupport::ScopedPlatformRoot m_root;
    testsupport::TempDir m_outside;  // the user's own folder, which the links point to
};

// The installer's registration (-Service writes AppID\{...}\LocalService) and the removal (-UnregServer
// deletes the key with its values) while AppID is swapped with a link to a folder that holds a key of
// the same name: that folder is neither emptied nor written.
TEST_F(LinkSwapTest, RegistryKeysAreNeverReachedThroughASwappedLink) {
    const std::string key = "AppID\\{33F67913-349E-448E-9A17-1EE38DF3DFF4}";
    const fs::path victim = m_outside.path() / "{33F67913-349E-448E-9A17-1EE38DF3DFF4}";
    fs::create_directories(victim);
    std::ofstream((victim / "kept").string()) << "kept";
    ASSERT_EQ(RegCreateKey(RegistryHive::ClassesRoot, key), 0);

    const auto reachedOutside = [&] {
        const bool untouched = entries(m_outside.path()) == std::vector<std::string>{victim.filename().string()} &&
                               entries(victim) == std::vector<std::string>{"kept"};
        if (!untouched) {
            fs::remove_all(victim);
            fs::create_directories(victim);
            std::ofstream((victim / "kept").string()) << "kept";
        }
        return !untouched;
    };

    testsupport::LinkSwapper swapper(m_root.path() / "registry" / "HKEY_CLASSES_ROOT" / "AppID", m_outside.path());
    bool set = false;
    const auto step = [&] {
        const bool done = set ? RegDeleteKey(RegistryHive::ClassesRoot, key) == 0
                              : RegSetStringValue(RegistryHive::ClassesRoot, key, "LocalService", "TeskLocalSvc") == 0;
        set = set != done;
        return done;
    };
    EXPECT_EQ(testsupport::linksFollowed(swapper, step, reachedOutside), 0);
}

// A service's status writes and the manager's queries while <root>/services is swapped with a link: no
// lock and no record is made outside.
TEST_F(LinkSwapTest, ServiceRecordsAndLocksAreNeverMadeThroughASwappedLink) {
    const std::string name = "TeskSwapSvc";
    ASSERT_EQ(CreateService(name, name, "/nonexistent/" + name, {}), 0);
    ServiceStatus stopped;
    ASSERT_EQ(SetServiceStatus(name, stopped), 0);

    const auto reachedOutside = [&] {
        const bool untouched = entries(m_outside.path()).empty();
        for (const auto& entry : fs::directory_iterator(m_outside.path()))
            fs::remove_all(entry.path());
        return !untouched;
    };

    testsupport::LinkSwapper swapper(m_root.path() / "services", m_outside.path());
    bool query = false;
    const auto step = [&] {
        ServiceStatus status;
        query = !query;
        return (query ? QueryServiceStatus(name, status) : SetServiceStatus(name, stopped)) == 0;
    };
    EXPECT_EQ(testsupport::linksFollowed(swapper, step, reachedOutside), 0);
}

}  // namespace
