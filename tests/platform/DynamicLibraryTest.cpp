#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "platform/ModulePath.h"
#include "support/Fifo.h"
#include "support/TempDir.h"

namespace {

using namespace platform;

using AnswerFunction = int (*)();

TEST(SharedObjectName, WindowsModuleNamesMapToLowerCaseLibSo) {
    EXPECT_EQ(SharedObjectName("brkcalcslib.dll"), "libbrkcalcslib.so");
    EXPECT_EQ(SharedObjectName("BrkCalcsLib.DLL"), "libbrkcalcslib.so");
    EXPECT_EQ(SharedObjectName("Plain"), "libplain.so");
    EXPECT_EQ(SharedObjectName("/opt/Tesk/Module.dll"), "/opt/Tesk/libmodule.so");
}

TEST(DynamicLibrary, LoadsFromTheExecutableFolderAndFindsSymbols) {
    std::string error;
    ModuleHandle module = LoadLibrary("TeskProbeModule.dll", error);
    ASSERT_NE(module, nullptr) << error;
    auto answer = reinterpret_cast<AnswerFunction>(GetProcAddress(module, "teskProbeAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(GetProcAddress(module, "noSuchSymbol"), nullptr);

    // Freed, but never unmapped: code that a thread may still be running stays in place.
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(answer(), 42);
    void* stillLoaded = ::dlopen((ModuleDir() + "/libteskprobemodule.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(stillLoaded, nullptr);
    if (stillLoaded)
        ::dlclose(stillLoaded);
}

TEST(DynamicLibrary, NameWithFolderIsOpenedThere) {
    std::string error;
    ModuleHandle module = LoadLibrary(ModuleDir() + "/TeskProbeModule.dll", error);
    ASSERT_NE(module, nullptr) << error;
    EXPECT_NE(GetProcAddress(module, "teskProbeAnswer"), nullptr);
    FreeLibrary(module);
    EXPECT_EQ(LoadLibrary("/no/such/folder/TeskProbeModule.dll", error), nullptr);
}

TEST(DynamicLibrary, MissingModuleAndNullHandleFailCleanly) {
    std::string error;
    EXPECT_EQ(LoadLibrary("NoSuchModule.dll", error), nullptr);
    EXPECT_NE(error.find("libnosuchmodule.so"), std::string::npos) << error;
    EXPECT_FALSE(FreeLibrary(nullptr));
    EXPECT_EQ(GetProcAddress(nullptr, "teskProbeAnswer"), nullptr);
}

std::size_t OpenDescriptorCount() {
    std::size_t count = 0;
    for (boost::filesystem::directory_iterator it("/proc/self/fd"), end; it != end; ++it)
        ++count;
    return count;
}

TEST(DynamicLibrary, EachFileIsItsOwnObjectAndOneFileLoadsOnce) {
    testsupport::TempDir dir;
    boost::filesystem::copy_file(ModuleDir() + "/libteskprobemodule.so", dir.path() / "libprobecopy.so");
    std::string error;
    ModuleHandle shipped = LoadLibrary("TeskProbeModule.dll", error);
    ASSERT_NE(shipped, nullptr) << error;
    FreeLibrary(shipped);
    // Another file loaded after the first was released is not taken for it.
    ModuleHandle copy = LoadLibrary(dir.str() + "/ProbeCopy.dll", error);
    ASSERT_NE(copy, nullptr) << error;
    EXPECT_NE(copy, shipped);

    // The same file again is the same object, and holds nothing more open.
    const std::size_t open = OpenDescriptorCount();
    EXPECT_EQ(LoadLibrary(ModuleDir() + "/TeskProbeModule.dll", error), shipped) << error;
    EXPECT_EQ(OpenDescriptorCount(), open);
}

TEST(DynamicLibrary, FifoIsRefusedAtOnceBesideTheExecutableAndInANamedFolder) {
    testsupport::TempDir dir;
    const std::string named = (dir.path() / "libfifomodule.so").string();
    ASSERT_TRUE(testsupport::makeFifo(named));
    // Beside the executable, under a name of this run's own.
    const std::string stem = "FifoModule" + std::to_string(::getpid());
    const std::string beside = ModuleDir() + "/" + SharedObjectName(stem);
    ASSERT_TRUE(testsupport::makeFifo(beside));
    struct Removed {
        std::string path;
        ~Removed() { ::unlink(path.c_str()); }
    } removed{beside};

    const std::pair<std::string, std::string> cases[] = {{dir.str() + "/FifoModule.dll", named},
                                                         {stem + ".dll", beside}};
    for (const auto& [module, fifo] : cases) {
        std::string error;
        ModuleHandle loaded = &error;
        ASSERT_TRUE(testsupport::finishesWithoutAWriter(fifo, [&] { loaded = LoadLibrary(module, error); })) << module;
        EXPECT_EQ(loaded, nullptr);
        EXPECT_EQ(error, fifo + ": not a regular file, refused");
    }
}

}  // namespace
