#include "calcdll_api/OptionKeys.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "BridgeTestSupport.h"

namespace {

using Bridge::keyStrike;
using Bridge::makeOptionKey;

std::vector<unsigned char> bytesOf(const OptionKey& key) {
    const auto* p = reinterpret_cast<const unsigned char*>(&key);
    return std::vector<unsigned char>(p, p + sizeof key);
}

TEST(OptionKey, SpyJanuary2015CallAndPut) {
    // 42500 thousandths, little-endian.
    const std::vector<unsigned char> call = {'S', 'P', 'Y', 0, 0, 15, 'A', 16, 0x04, 0xA6, 0x00, 0x00};
    auto key = makeOptionKey("SPY", 2015, 0, 16, 42.5f, false);
    ASSERT_TRUE(key);
    EXPECT_EQ(bytesOf(*key), call);

    std::vector<unsigned char> put = call;
    put[6] = 'M';
    key = makeOptionKey("SPY", 2015, 0, 16, 42.5f, true);
    ASSERT_TRUE(key);
    EXPECT_EQ(bytesOf(*key), put);

    // A December put is 'X'; a long root fills the five bytes without a terminator.
    key = makeOptionKey("SPXW12", 2016, 11, 31, 2000.0f, true);
    ASSERT_TRUE(key);
    EXPECT_EQ(std::string(key->root, 5), "SPXW1");
    EXPECT_EQ(key->monthCode, 'X');
    EXPECT_EQ(key->year, 16);
}

TEST(OptionKey, StrikeIsRoundedToTheNearestThousandth) {
    EXPECT_EQ(keyStrike(7.14f), 7140u);  // 7.139999866... truncated would be 7139
    EXPECT_EQ(keyStrike(42.5f), 42500u);
    EXPECT_EQ(keyStrike(0.0f), 0u);
    EXPECT_EQ(keyStrike(4294967.0f), 4294967000u);

    // What the key cannot hold is refused rather than wrapped.
    EXPECT_FALSE(keyStrike(4294967.5f));
    EXPECT_FALSE(keyStrike(-1.0f));
    EXPECT_FALSE(keyStrike(std::numeric_limits<float>::quiet_NaN()));
    EXPECT_FALSE(keyStrike(std::numeric_limits<float>::infinity()));
    EXPECT_FALSE(makeOptionKey("SPY", 2015, 0, 16, std::nanf(""), false));
}

TEST(OptionKey, ExpiriesTheKeyCannotHoldAreRefused) {
    // Month 12 would read 'M', a January put, for a call.
    EXPECT_FALSE(makeOptionKey("SPY", 2015, 12, 16, 42.5f, false));
    EXPECT_FALSE(makeOptionKey("SPY", 2015, -1, 16, 42.5f, false));
    EXPECT_FALSE(makeOptionKey("SPY", 2015, 0, 32, 42.5f, false));
    EXPECT_FALSE(makeOptionKey("SPY", 2015, 0, 0, 42.5f, false));
    EXPECT_FALSE(makeOptionKey("SPY", 1999, 0, 16, 42.5f, false));
    EXPECT_FALSE(makeOptionKey("SPY", 2256, 0, 16, 42.5f, false));
    EXPECT_TRUE(makeOptionKey("SPY", 2255, 11, 31, 42.5f, false));
}

struct Registration {
    OptionKey key;
    int64_t foreignId;
    int deliveryMode;
};
std::vector<Registration> g_registered;

int RecordRegistration(const OptionKey* key, int64_t foreignId, int deliveryMode) {
    g_registered.push_back({*key, foreignId, deliveryMode});
    return static_cast<int>(g_registered.size()) * 10;
}

using RegisterOptionPair = bridgetest::BridgeWithFake;

TEST_F(RegisterOptionPair, RegistersTheCallThenThePutOfOneStrike) {
    g_registered.clear();
    fake().hooks.registerOption = &RecordRegistration;
    const OptionTreeStrike strike{2015, 0, 16, 42.5f, 1, -7, 0x100000001LL};

    EXPECT_EQ(registerOptionPair("SPY", strike), 20);  // the put's result
    ASSERT_EQ(g_registered.size(), 2u);
    EXPECT_EQ(g_registered[0].foreignId, -7);
    EXPECT_EQ(g_registered[0].key.monthCode, 'A');
    EXPECT_EQ(g_registered[1].foreignId, 0x100000001LL);
    EXPECT_EQ(g_registered[1].key.monthCode, 'M');
    EXPECT_EQ(g_registered[1].deliveryMode, 1);
    EXPECT_EQ(std::memcmp(&g_registered[0].key, &g_registered[1].key, 6), 0);

    g_registered.clear();
    const OptionTreeStrike december{2015, 12, 16, 42.5f, 0, 1, 2};
    EXPECT_EQ(registerOptionPair("SPY", december), -1);
    EXPECT_TRUE(g_registered.empty());
}

}  // namespace
