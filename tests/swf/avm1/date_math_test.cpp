// Expected texts and times are Flash Player's where a movie recorded them (in a zone 5:45 east
// of Greenwich), else the calendar's and the zone rules'.
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

#include <time.h>

#include <gtest/gtest.h>

#include "swf/avm1/date_math.h"

namespace swivio::swf::avm1 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr const char* kNepal = "NPT-5:45";
constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr const char* kPacific = "PST8PDT,M3.2.0,M11.1.0";

// The zone of the process for the test that calls it; the tests that need one set their own.
void useZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
}

// The Date constructor with local components, as the interpreter composes it.
double localDate(double year, double month, double date, double h = 0, double m = 0, double s = 0,
                 double ms = 0) {
    return utcFromLocal(makeDate(makeDay(year, month, date), makeTime(h, m, s, ms)));
}

TEST(DateMath, TextInAZoneAheadOfGreenwich) {
    useZone(kNepal);
    const struct {
        double time;
        const char* text;
    } cases[] = {
        // clang-format off
        {0, "Thu Jan 1 05:45:00 GMT+0545 1970"},
        {-500, "Thu Jan 1 05:44:59 GMT+0545 1970"},
        {1594844387653, "Thu Jul 16 02:04:47 GMT+0545 2020"},
        {-1594844387653, "Thu Jun 19 09:25:12 GMT+0545 1919"},
        {8.64e15, "Sat Sep 13 05:45:00 GMT+0545 275760"},
        {-8.64e15, "Tue Apr 20 05:45:00 GMT+0545 -271821"},
        {-8.64e15 - 1, "Tue Apr 20 05:44:59 GMT+0545 -271821"},
        {kNaN, "Invalid Date"},
        {kInf, "Invalid Date"},
        {-kInf, "Invalid Date"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.text, dateToString(c.time));
    }
}

TEST(DateMath, LocalComponentsMakeTheRecordedTimes) {
    useZone(kNepal);
    EXPECT_EQ(978286499999, localDate(2000, 11, 31, 23, 59, 59, 999));
    EXPECT_EQ(-2172375900000, localDate(1901, 2, 1));
    EXPECT_EQ(-2209095900000, localDate(1900, 0, 0));
    // Fractions are dropped and overflowing fields carry: 7002-14-32 24:60:60.1000.
    const double carried = localDate(7002.5, 13.5, 32.5, 24.5, 60.5, 60.5, 1000.5);
    EXPECT_EQ(158831522161000, carried);
    EXPECT_EQ("Sat Mar 5 01:01:01 GMT+0545 7003", dateToString(carried));
    EXPECT_TRUE(std::isnan(localDate(0, kNaN, 0)));
    EXPECT_TRUE(std::isnan(localDate(0, 0, 0, 0, 0, kInf)));
}

TEST(DateMath, UtcComponents) {
    const struct {
        double time;
        double year, month, date, weekDay, hour, minute, second, ms;
    } cases[] = {
        // clang-format off
        {-500, 1969, 11, 31, 3, 23, 59, 59, 500},
        {5.5, 1970, 0, 1, 4, 0, 0, 0, 5},
        {1594844387653, 2020, 6, 15, 3, 20, 19, 47, 653},
        {-1594844387653, 1919, 5, 19, 4, 3, 40, 12, 347},
        {8.64e15, 275760, 8, 13, 6, 0, 0, 0, 0},
        {-8.64e15, -271821, 3, 20, 2, 0, 0, 0, 0},
        {951782400000, 2000, 1, 29, 2, 0, 0, 0, 0}, // leap day of a 400th year
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.time));
        const double t = c.time;
        EXPECT_EQ(
            (std::vector{c.year, c.month, c.date, c.weekDay, c.hour, c.minute, c.second, c.ms}),
            (std::vector{yearFromTime(t), monthFromTime(t), dateFromTime(t), weekDay(t),
                         hourFromTime(t), minFromTime(t), secFromTime(t), msFromTime(t)}));
    }
    EXPECT_TRUE(std::isnan(yearFromTime(kNaN)));
    EXPECT_TRUE(std::isnan(monthFromTime(kInf)));
}

TEST(DateMath, CalendarRules) {
    EXPECT_EQ(365, daysInYear(1900));
    EXPECT_EQ(366, daysInYear(2000));
    EXPECT_TRUE(inLeapYear(951782400000));    // 2000-02-29
    EXPECT_FALSE(inLeapYear(-2203891200000)); // 1900-03-01
    EXPECT_EQ(-1, day(-1));
    EXPECT_EQ(kMsPerDay - 1, timeWithinDay(-1));
    EXPECT_EQ(8.64e15, timeClip(8.64e15));
    EXPECT_TRUE(std::isnan(timeClip(8.64e15 + 1)));
    EXPECT_TRUE(std::isnan(timeClip(kNaN)));
    EXPECT_EQ(5, timeClip(5.5));
    EXPECT_FALSE(std::signbit(timeClip(-0.5)));
}

TEST(DateMath, DaylightSavingFollowsTheZoneRules) {
    useZone(kCentralEurope);
    const double winter = 1768435200000; // 2026-01-15 00:00 UTC
    const double summer = 1784073600000; // 2026-07-15 00:00 UTC
    EXPECT_EQ(3600000, localOffsetMs(winter));
    EXPECT_EQ(7200000, localOffsetMs(summer));
    EXPECT_EQ("Wed Jul 15 22:19:47 GMT+0200 2020", dateToString(1594844387653));
    EXPECT_EQ(winter, utcFromLocal(localTime(winter)));
    EXPECT_EQ(summer, utcFromLocal(localTime(summer)));
    // 02:30 on 2026-03-29 is skipped; the winter offset places it at 01:30 UTC.
    EXPECT_EQ(1774747800000, localDate(2026, 2, 29, 2, 30));
    EXPECT_TRUE(std::isnan(localOffsetMs(kNaN)));
}

TEST(DateMath, ZoneBehindGreenwich) {
    useZone(kPacific);
    EXPECT_EQ("Sat Apr 4 00:00:00 GMT-0700 2020", dateToString(localDate(2020, 3, 4)));
    EXPECT_EQ(1585983600000, localDate(2020, 3, 4));
}

TEST(DateMath, CurrentTimeIsNow) {
    const double before = static_cast<double>(std::time(nullptr)) * 1000;
    const double now = currentTimeMs();
    EXPECT_GE(now, before);
    EXPECT_LT(now, before + 5000);
    EXPECT_EQ(std::floor(now), now);
}

} // namespace
} // namespace swivio::swf::avm1
