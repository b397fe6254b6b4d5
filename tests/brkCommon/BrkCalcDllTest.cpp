#include "CalcDll/BrkCalcDll.h"

#include <chrono>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "FakeCalcsLibrary.h"

namespace {

using std::chrono::milliseconds;

void OnResult(const void*, int, int, int, int) {}

FakeCalcsCalls& CallsOf(const char* module) {
    std::string error;
    platform::ModuleHandle handle = platform::LoadLibrary(module, error);
    EXPECT_NE(handle, nullptr) << error;
    auto calls = reinterpret_cast<PFN_FakeCalcsRecorded>(platform::GetProcAddress(handle, "FakeCalcsRecorded"));
    EXPECT_NE(calls, nullptr);
    return *calls();
}

// Runs the call and returns the text of the runtime_error it throws ("" when none).
template <class Call>
std::string ErrorOf(Call call) {
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return std::string();
}

TEST(BrkCalcDll, LoadsBindsAndStartsTheLibraryOnce) {
    CBrkCalcDll dll(milliseconds(0));
    dll.SetCallbacks(&OnResult, nullptr, nullptr, nullptr, nullptr);
    dll.SetThreadCount(4);
    FakeCalcsCalls& calls = CallsOf("fakecalcscomplete.dll");
    const int before = calls.initialize;

    ASSERT_TRUE(dll.Load("fakecalcscomplete.dll"));
    EXPECT_EQ(calls.initialize, before + 1);
    EXPECT_EQ(calls.lastSettings.pfResultCallback, &OnResult);
    EXPECT_EQ(calls.lastSettings.nThreads, 4u);
    EXPECT_EQ(calls.lastSettings.tradeDate.year, 0);

    EXPECT_FALSE(dll.Load("fakecalcscomplete.dll"));  // loaded already: nothing changes
    EXPECT_EQ(calls.initialize, before + 1);

    EXPECT_EQ(dll.SetGlobalDate(2015, 1, 12), 2015);
    EXPECT_EQ(calls.lastYear, 2015);
    EXPECT_EQ(dll.RegisterOption(nullptr, 1, 0), 7);
    dll.DumpStock("SPY");
    EXPECT_EQ(calls.dumpStock, 1);

    dll.Unload();
    EXPECT_EQ(calls.deinitialize, 1);
    EXPECT_EQ(ErrorOf([&] { dll.DumpStock("SPY"); }), "m_pfDumpStock is null");

    // Loaded again, the library is started again.
    ASSERT_TRUE(dll.Load("fakecalcscomplete.dll"));
    EXPECT_EQ(calls.initialize, before + 2);
    dll.Unload();
}

TEST(BrkCalcDll, AMissingExportLeavesTheBindingEmpty) {
    CBrkCalcDll dll(milliseconds(0));
    EXPECT_EQ(ErrorOf([&] { dll.Load("fakecalcsnodump.dll"); }),
              "can't find definition of functions in the calculation library");
    EXPECT_EQ(CallsOf("fakecalcsnodump.dll").initialize, 0);
    EXPECT_EQ(ErrorOf([&] { dll.RegisterOption(nullptr, 1, 0); }), "m_pfRegisterOption is null");
    EXPECT_EQ(ErrorOf([&] { dll.CalcGreeks(0, 0, 'c', nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr); }),
              "m_pfCalcGreeks is null");
    EXPECT_NO_THROW(dll.ProcessMessage(nullptr, -1, 0));
    // Nothing is held: a complete library loads afterwards.
    EXPECT_TRUE(dll.Load("fakecalcscomplete.dll"));
    dll.Unload();
}

TEST(BrkCalcDll, AnAbsentLibraryCannotBeLoaded) {
    CBrkCalcDll dll(milliseconds(0));
    EXPECT_EQ(ErrorOf([&] { dll.Load("nosuchlibrary.dll"); }), "can't load calculation library");
    EXPECT_EQ(ErrorOf([&] { dll.Load(nullptr); }), "can't load calculation library");
    EXPECT_EQ(ErrorOf([&] { dll.SetYieldCurve(nullptr, nullptr, 0); }), "m_pfSetYieldCurve is null");
}

TEST(BrkCalcDll, UnloadWithoutALibraryWaitsAndReturns) {
    CBrkCalcDll dll(milliseconds(30));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NO_THROW(dll.Unload());
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(30));
    EXPECT_EQ(ErrorOf([&] { dll.InitLogger("x"); }), "m_pfInitLogger is null");
}

TEST(BrkCalcDll, TheRealLibraryPricesThroughTheBinding) {
    CBrkCalcDll dll(milliseconds(0));
    dll.SetThreadCount(1);
    ASSERT_TRUE(dll.Load("brkcalcslib.dll"));
    const double S = 42, X = 40, T = 0.5, r = 0.1, b = 0.1, sigma = 0.2;
    const std::vector<double> none;
    // Hull's example: the call is worth 4.7594.
    EXPECT_NEAR(dll.CalcTheoPrice(0, 1, 0, 'c', &S, &X, &T, &r, &b, &sigma, &none, &none), 4.7594, 5e-5);
    EXPECT_NO_THROW(dll.DumpStock("SPY"));
    dll.Unload();
}

}  // namespace
