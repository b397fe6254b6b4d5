#include "calendar/ExpirationTime.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "brkCalcsLib/calendar/LogCapture.h"
#include "calendar/ExpiryTypeTable.h"

#include "support/Dates.h"

namespace {

SExpiryKind Kind(int code, bool saturday, bool wednesday, bool am) {
    SExpiryKind kind;
    kind.m_code = code;
    kind.m_bSaturday = saturday;
    kind.m_bWednesday = wednesday;
    kind.m_bAmSettled = am;
    return kind;
}

std::string Text(const DllDateTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
    return text;
}

TEST(SetExpirationTime, StandardSaturdayExpiryMovesBackToTheFriday) {
    const DllDate saturday = Date(2014, 11, 22);
    SGroupSettlement pm;
    SetExpirationTime(pm, &saturday, "IBM", Kind(eExpiryStandard, true, false, false));
    EXPECT_EQ(Text(pm.m_adjustedExpiry), "2014-11-21 16:00");
    EXPECT_TRUE(pm.m_bAdjustedExpiryValid && pm.m_bStandardExpiry && pm.m_bExpiryTimeSet);

    SGroupSettlement am;
    SetExpirationTime(am, &saturday, "IBM", Kind(eExpiryStandard, true, false, true));
    EXPECT_EQ(Text(am.m_adjustedExpiry), "2014-11-21 09:30");
    EXPECT_TRUE(am.m_bStandardExpiry);
}

TEST(SetExpirationTime, OnlyStandardSaturdaysAndVixWednesdaysAreFlagged) {
    SGroupSettlement s;
    const DllDate thirdFriday = Date(2014, 11, 21);
    SetExpirationTime(s, &thirdFriday, "IBM", Kind(eExpiryNone, false, false, false));
    EXPECT_EQ(Text(s.m_adjustedExpiry), "2014-11-21 16:00");
    EXPECT_FALSE(s.m_bStandardExpiry);
    EXPECT_TRUE(s.m_bExpiryTimeSet);

    const DllDate wednesday = Date(2014, 11, 19);
    SetExpirationTime(s, &wednesday, "^VIX", Kind(eExpiryStandard, false, true, true));
    EXPECT_EQ(Text(s.m_adjustedExpiry), "2014-11-19 09:30");
    EXPECT_TRUE(s.m_bStandardExpiry);
    SetExpirationTime(s, &wednesday, "^SPX", Kind(eExpiryStandard, false, true, true));
    EXPECT_FALSE(s.m_bStandardExpiry);

    // A weekly or quarterly expiry is never flagged, even next to the third Friday.
    const DllDate saturday = Date(2014, 11, 22);
    SetExpirationTime(s, &saturday, "^VIX", Kind(eExpiryWeekly, true, false, false));
    EXPECT_EQ(Text(s.m_adjustedExpiry), "2014-11-22 16:00");
    EXPECT_FALSE(s.m_bStandardExpiry);
    // A Saturday far from the third Friday is not moved (only ^VIX and ^GVZ are always standard).
    const DllDate otherSaturday = Date(2014, 11, 29);
    SetExpirationTime(s, &otherSaturday, "IBM", Kind(eExpiryNone, true, false, false));
    EXPECT_EQ(Text(s.m_adjustedExpiry), "2014-11-29 16:00");
    SetExpirationTime(s, &otherSaturday, "^GVZ", Kind(eExpiryNone, true, false, false));
    EXPECT_EQ(Text(s.m_adjustedExpiry), "2014-11-28 16:00");

    SetExpirationTime(s, nullptr, "IBM", Kind(eExpiryStandard, true, false, true));
    EXPECT_FALSE(s.m_bAdjustedExpiryValid || s.m_bStandardExpiry || s.m_bExpiryTimeSet);
}

int g_callbackCode = -1;
std::string g_callbackRoot;

int ExpiryTypeCallback(const char* root, int code, bool* am, bool* european) {
    g_callbackRoot = root;
    g_callbackCode = code;
    *am = true;
    *european = true;
    return 0;
}

TEST(LookupExpiryKind, IndexOptionsKeepTheirSettlementBeyond2022) {
    CExpiryTypeTable::Instance().ReplaceExpiryTypes(nullptr, 0);
    bool european = false;
    const SExpiryKind kind = LookupExpiryKind("VIX", Date(2026, 1, 17), nullptr, european);
    EXPECT_EQ(kind.m_code, eExpiryStandard);
    EXPECT_TRUE(kind.m_bSaturday && !kind.m_bWednesday && kind.m_bAmSettled);
    // The table answers the settlement only; an option is European by its index symbol or the host.
    EXPECT_FALSE(european);

    SGroupSettlement s;
    const DllDate expiry = Date(2026, 1, 17);
    SetExpirationTime(s, &expiry, "^VIX", kind);
    EXPECT_EQ(Text(s.m_adjustedExpiry), "2026-01-16 09:30");

    european = false;
    const SExpiryKind unknown = LookupExpiryKind("IBM", Date(2026, 1, 14), nullptr, european);
    EXPECT_TRUE(unknown.m_bWednesday && !unknown.m_bAmSettled && !european);

    const SExpiryKind asked = LookupExpiryKind("XYZ", Date(2026, 1, 23), ExpiryTypeCallback, european);
    EXPECT_EQ(g_callbackRoot, "XYZ");
    EXPECT_EQ(g_callbackCode, eExpiryWeekly);
    EXPECT_TRUE(asked.m_bAmSettled && european);
}

TEST(TimeToExpiration, AdjustedExpiryOrFourPmAndZeroOnceReached) {
    SGroupSettlement none;
    const DllDateTime close = ExpirationStamp(none, Date(2015, 1, 1));
    EXPECT_EQ(Text(close), "2015-01-01 16:00");
    DllDateTime start = TimestampAt(Date(2014, 1, 1), 16, 0);
    EXPECT_DOUBLE_EQ(*TimeToExpiration(close, start), 1.0);
    EXPECT_EQ(*TimeToExpiration(close, close), 0.0);
    DllDateTime later = close;
    later.millisecond = 1;
    EXPECT_EQ(*TimeToExpiration(close, later), 0.0);

    SGroupSettlement am;
    const DllDate saturday = Date(2014, 11, 22);
    SetExpirationTime(am, &saturday, "IBM", Kind(eExpiryStandard, true, false, true));
    EXPECT_EQ(Text(ExpirationStamp(am, saturday)), "2014-11-21 09:30");

    DllDateTime cleared;  // the tape time after a clean-up: no date to count from
    EXPECT_FALSE(TimeToExpiration(close, cleared));
}

TEST(LogExpiryChain, HeadLineCarriesTheExpiry) {
    LogCapture log;
    LogExpiryChain(Date(2014, 11, 22));
    EXPECT_EQ(log.text(), "---20141122------\n");
}

}  // namespace
