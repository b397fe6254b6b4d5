#include "packets/RequestReaders.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include <gtest/gtest.h>

#include "packets/WireDoubleOrder.h"
#include "support/WireWriter.h"

namespace {

using Packets::RequestStream;
using wiretest::WireWriter;

TEST(RequestReaders, ReadFieldsInOrderAndLeaveAFieldCrossingTheEndUntouched) {
    const WireWriter w = WireWriter().f64(1.5).i32(-7).i16(300).u8(9).u16(0xBEEF);
    RequestStream in(w.data().data(), w.size() - 1);
    double qword = 0;
    std::int32_t dword = 0;
    std::int16_t word = 0;
    std::uint8_t byte = 0;
    std::uint16_t cut = 42;

    EXPECT_TRUE(Packets::readQword(in, qword) && Packets::readDword(in, dword));
    EXPECT_TRUE(Packets::readWord(in, word) && Packets::readByte(in, byte));
    EXPECT_EQ(qword, 1.5);
    EXPECT_EQ(dword, -7);
    EXPECT_EQ(word, 300);
    EXPECT_EQ(byte, 9);
    EXPECT_FALSE(Packets::readWord(in, cut));
    EXPECT_EQ(cut, 42);
    EXPECT_TRUE(in.failed());
}

TEST(RequestReaders, FailureSticksEvenWhenALaterFieldWouldFit) {
    const WireWriter w = WireWriter().u32(5).u8(1);
    RequestStream in(w.data());
    double tooWide = 3.0;
    std::uint8_t fits = 0;
    EXPECT_FALSE(Packets::readQword(in, tooWide));
    EXPECT_FALSE(Packets::readByte(in, fits));
    EXPECT_EQ(tooWide, 3.0);
    EXPECT_EQ(fits, 0);
}

TEST(RequestReaders, StringsAreBoundedByTheBody) {
    const WireWriter w = WireWriter().str("").str("AAPL").u32(0xFFFFFFFF).bytes("abc");
    RequestStream in(w.data());
    std::string empty = "old", symbol, hostile = "old";

    EXPECT_TRUE(Packets::readString(in, empty));
    EXPECT_EQ(empty, "");
    EXPECT_TRUE(Packets::readString(in, symbol));
    EXPECT_EQ(symbol, "AAPL");
    EXPECT_FALSE(Packets::readString(in, hostile));
    EXPECT_EQ(hostile, "old");
}

TEST(RequestReaders, ListKeepsWholeElementsAndReservesOnlyWhatTheBodyHolds) {
    // Claims 4 billion doubles, sends two and a half.
    const WireWriter w = WireWriter().f64(1).f64(2).u32(0);
    RequestStream in(w.data());
    std::vector<double> list = {99};

    Packets::readList<sizeof(double)>(in, 0xFFFFFFFFu, list, &Packets::readQword<double>);
    EXPECT_EQ(list, std::vector<double>({1, 2}));
    EXPECT_LE(list.capacity(), 2u);
    EXPECT_TRUE(in.failed());
}

TEST(RequestReaders, ListOfExactlyItsCountLeavesTheStreamGood) {
    const WireWriter w = WireWriter().f32(1).f32(2).u8(7);
    RequestStream in(w.data());
    std::vector<float> list;
    Packets::readList<sizeof(float)>(in, 2, list, &Packets::readDword<float>);
    EXPECT_EQ(list, std::vector<float>({1, 2}));
    EXPECT_FALSE(in.failed());
    EXPECT_EQ(in.remaining(), 1u);
}

TEST(WireDoubleOrder, NumbersAscendThenNaNsAllEquivalent) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> keys = {3, nan, -inf, 1, nan, inf, -2};
    std::sort(keys.begin(), keys.end(), Packets::WireDoubleLess());
    EXPECT_EQ(std::vector<double>(keys.begin(), keys.begin() + 5), std::vector<double>({-inf, -2, 1, 3, inf}));
    EXPECT_TRUE(std::isnan(keys[5]) && std::isnan(keys[6]));

    std::map<double, int, Packets::WireDoubleLess> byKey;
    byKey[nan] = 1;
    byKey[-nan] = 2;
    byKey[0.0] = 3;
    byKey[-0.0] = 4;
    ASSERT_EQ(byKey.size(), 2u);
    EXPECT_EQ(byKey.begin()->second, 4);
    EXPECT_EQ(byKey.rbegin()->second, 2);
}

}  // namespace
