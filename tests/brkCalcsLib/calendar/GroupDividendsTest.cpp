#include "calendar/GroupDividends.h"

#include <optional>
#include <string>
#include <vector>

#include <boost/date_time/posix_time/posix_time.hpp>
#include <gtest/gtest.h>

#include "brkCalcsLib/calendar/LogCapture.h"

#include "support/Dates.h"

namespace {

namespace greg = boost::gregorian;
namespace pt = boost::posix_time;

DividendEntry Dividend(double amount, int kind, const DllDate& date) {
    DividendEntry e{};
    e.dAmount = amount;
    e.nKind = kind;
    e.date = date;
    return e;
}

// Years between two moments, computed by boost::posix_time.
double Years(const pt::ptime& from, const pt::ptime& to) { return (to - from).total_seconds() / 86400.0 / 365.0; }

// What the host's callback hands back, and what it was asked.
struct SHost {
    std::vector<DividendEntry> entries;
    std::optional<int> result;  // none: the number of entries
    int calls = 0;
    std::string symbol;
    DllDate start{};
    DllDate end{};
    bool bufferWasZeroed = true;
    int capacity = 0;
};
SHost g_host;

int DividendCallback(const char* symbol, const DllDate* start, const DllDate* end, DividendEntry* buffer, int capacity) {
    ++g_host.calls;
    g_host.symbol = symbol;
    g_host.start = *start;
    g_host.end = *end;
    g_host.capacity = capacity;
    for (int i = 0; i < capacity; ++i)
        if (buffer[i].dAmount != 0.0 || buffer[i].nKind != 0 || buffer[i].date.year != 0)
            g_host.bufferWasZeroed = false;
    for (std::size_t i = 0; i < g_host.entries.size() && static_cast<int>(i) < capacity; ++i)
        buffer[i] = g_host.entries[i];
    return g_host.result.value_or(static_cast<int>(g_host.entries.size()));
}

class FetchDividendsTest : public testing::Test {
protected:
    void SetUp() override { g_host = SHost(); }

    const DllDateTime m_tape = TimestampAt(Date(2014, 1, 1), 10, 0);
    const pt::ptime m_tapeTime{greg::date(2014, 1, 1), pt::hours(10)};
};

TEST_F(FetchDividendsTest, SortsEntriesIntoTheGroupSequences) {
    g_host.entries = {Dividend(0.5, 0, Date(2014, 3, 1)),  Dividend(0.25, 11, Date(2014, 4, 1)),
                      Dividend(1.0, 42, Date(2014, 5, 1)), Dividend(0.0, 0, Date(2014, 5, 15)),
                      Dividend(0.3, 0, Date(2014, 7, 1)),  Dividend(0.2, 0, Date(2014, 1, 1))};
    const auto d = FetchDividends(DividendCallback, "IBM", m_tape, Date(2014, 6, 20));
    ASSERT_TRUE(d);
    EXPECT_EQ(g_host.symbol, "IBM");
    EXPECT_TRUE(IsDateEqual(g_host.start, Date(2014, 1, 1)));  // the tape date to the group's expiry
    EXPECT_TRUE(IsDateEqual(g_host.end, Date(2014, 6, 20)));
    EXPECT_EQ(g_host.capacity, 100);
    EXPECT_TRUE(g_host.bufferWasZeroed);

    auto t = [&](int y, int m, int day) { return Years(m_tapeTime, pt::ptime(greg::date(y, m, day))); };
    // Positive amounts dated after the tape time.
    ASSERT_EQ(d->m_divAmounts, (std::vector<double>{0.5, 0.25, 1.0, 0.3}));
    EXPECT_DOUBLE_EQ(d->m_divTimes[0], t(2014, 3, 1));
    EXPECT_DOUBLE_EQ(d->m_divTimes[3], t(2014, 7, 1));
    EXPECT_EQ(d->m_divCount, 4);
    // Up to the expiry, kind 11 left out, time less 1e-6 and never negative.
    ASSERT_EQ(d->m_divToExpiryAmounts, (std::vector<double>{0.5, 1.0, 0.0, 0.2}));
    EXPECT_DOUBLE_EQ(d->m_divToExpiryTimes[0], t(2014, 3, 1) - 1e-6);
    EXPECT_DOUBLE_EQ(d->m_divToExpiryTimes[1], t(2014, 5, 1) - 1e-6);
    EXPECT_EQ(d->m_divToExpiryTimes[3], 0.0);
    EXPECT_DOUBLE_EQ(d->m_divTotal, 2.25);
    EXPECT_DOUBLE_EQ(d->m_specialDivAmount, 1.0);
    EXPECT_DOUBLE_EQ(d->m_specialDivTime, t(2014, 5, 1));
    EXPECT_EQ(d->m_receivedCount, 6);
    EXPECT_EQ(d->m_firstAmount, 0.5);
}

TEST_F(FetchDividendsTest, SpecialDividendTimeIsAtLeastOneTenThousandth) {
    g_host.entries = {Dividend(0.1, 0, Date(2014, 1, 1)), Dividend(2.0, 100, Date(2014, 1, 1))};
    const auto d = FetchDividends(DividendCallback, "IBM", m_tape, Date(2014, 6, 20));
    EXPECT_EQ(d->m_specialDivTime, 0.0001);
    EXPECT_EQ(d->m_specialDivAmount, 2.0);
    EXPECT_EQ(d->m_firstAmount, 0.1);
    EXPECT_TRUE(d->m_divAmounts.empty());
}

TEST_F(FetchDividendsTest, HostCountIsClampedAndImpossibleDatesAreSkipped) {
    g_host.entries.assign(100, Dividend(0.01, 0, Date(2014, 2, 3)));
    g_host.result = 5000;
    EXPECT_EQ(FetchDividends(DividendCallback, "IBM", m_tape, Date(2014, 6, 20))->m_receivedCount, 100);
    g_host.result = -7;
    EXPECT_EQ(FetchDividends(DividendCallback, "IBM", m_tape, Date(2014, 6, 20))->m_receivedCount, 0);

    g_host.result.reset();
    g_host.entries = {Dividend(0.4, 0, Date(2015, 2, 29)), Dividend(0.6, 0, Date(2014, 2, 3)),
                      Dividend(0.4, 0, Date(2014, 13, 1))};
    LogCapture log;
    const auto d = FetchDividends(DividendCallback, "IBM", m_tape, Date(2015, 6, 20));
    EXPECT_EQ(d->m_divAmounts, std::vector<double>{0.6});
    EXPECT_DOUBLE_EQ(d->m_divTotal, 0.6);
    EXPECT_NE(log.text().find("invalid date 2015-02-29"), std::string::npos) << log.text();
    EXPECT_NE(log.text().find("invalid date 2014-13-01"), std::string::npos) << log.text();
}

TEST_F(FetchDividendsTest, NothingWithoutCallbackOrWithoutATapeDate) {
    LogCapture log;
    EXPECT_FALSE(FetchDividends(nullptr, "IBM", m_tape, Date(2014, 6, 20)));
    EXPECT_NE(log.text().find("pfDiviCallback wasn't set\n"), std::string::npos);
    EXPECT_FALSE(FetchDividends(DividendCallback, "IBM", DllDateTime(), Date(2014, 6, 20)));
    EXPECT_EQ(g_host.calls, 0);
}

}  // namespace
