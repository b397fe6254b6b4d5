#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

#include <gtest/gtest.h>

#include "platform/ModulePath.h"

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

}  // namespace
