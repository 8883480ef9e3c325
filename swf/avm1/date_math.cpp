#include "swf/avm1/date_math.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>

#include <time.h>

namespace swivio::swf::avm1 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Mean length of a Gregorian year, for the first guess of a time's year.
constexpr double kMsPerMeanYear = kMsPerDay * 365.2425;
// The C library keeps the year in an int: stay well inside it (about 1.9 billion years).
constexpr double kMaxLibrarySeconds = 6.0e16;

constexpr std::array<int, 13> kMonthStart = {0,   31,  59,  90,  120, 151, 181,
                                             212, 243, 273, 304, 334, 365};

double floorMod(double a, double b) {
    const double r = std::fmod(a, b);
    return r < 0 ? r + b : r;
}

double monthStart(int month, bool leap) {
    return kMonthStart[month] + (leap && month >= 2);
}

double dayWithinYear(double t) {
    return day(t) - dayFromYear(yearFromTime(t));
}

} // namespace

double day(double t) {
    return std::isfinite(t) ? std::floor(t / kMsPerDay) : kNaN;
}

double timeWithinDay(double t) {
    return std::isfinite(t) ? floorMod(t, kMsPerDay) : kNaN;
}

double daysInYear(double year) {
    if (!std::isfinite(year))
        return kNaN;
    if (std::fmod(year, 4) != 0)
        return 365;
    if (std::fmod(year, 100) != 0)
        return 366;
    return std::fmod(year, 400) == 0 ? 366 : 365;
}

double dayFromYear(double year) {
    return 365 * (year - 1970) + std::floor((year - 1969) / 4) - std::floor((year - 1901) / 100) +
           std::floor((year - 1601) / 400);
}

double timeFromYear(double year) {
    return kMsPerDay * dayFromYear(year);
}

double yearFromTime(double t) {
    if (!std::isfinite(t))
        return kNaN;
    double year = std::floor(t / kMsPerMeanYear) + 1970;
    // The guess is off by at most one; the bound keeps years too large for a double's precision
    // from looping.
    for (int i = 0; i < 4 && timeFromYear(year) > t; ++i)
        --year;
    for (int i = 0; i < 4 && timeFromYear(year + 1) <= t; ++i)
        ++year;
    return year;
}

bool inLeapYear(double t) {
    return daysInYear(yearFromTime(t)) == 366;
}

double monthFromTime(double t) {
    if (!std::isfinite(t))
        return kNaN;
    const double d = dayWithinYear(t);
    const bool leap = inLeapYear(t);
    int month = 0;
    while (month < 11 && d >= monthStart(month + 1, leap))
        ++month;
    return month;
}

double dateFromTime(double t) {
    if (!std::isfinite(t))
        return kNaN;
    const int month = static_cast<int>(monthFromTime(t));
    return dayWithinYear(t) - monthStart(month, inLeapYear(t)) + 1;
}

double weekDay(double t) {
    return std::isfinite(t) ? floorMod(day(t) + 4, 7) : kNaN;
}

double hourFromTime(double t) {
    return std::isfinite(t) ? floorMod(std::floor(t / kMsPerHour), 24) : kNaN;
}

double minFromTime(double t) {
    return std::isfinite(t) ? floorMod(std::floor(t / kMsPerMinute), 60) : kNaN;
}

double secFromTime(double t) {
    return std::isfinite(t) ? floorMod(std::floor(t / kMsPerSecond), 60) : kNaN;
}

double msFromTime(double t) {
    return std::isfinite(t) ? std::floor(floorMod(t, kMsPerSecond)) : kNaN;
}

double makeTime(double hour, double min, double sec, double ms) {
    if (!std::isfinite(hour) || !std::isfinite(min) || !std::isfinite(sec) || !std::isfinite(ms))
        return kNaN;
    return std::trunc(hour) * kMsPerHour + std::trunc(min) * kMsPerMinute +
           std::trunc(sec) * kMsPerSecond + std::trunc(ms);
}

double makeDay(double year, double month, double date) {
    if (!std::isfinite(year) || !std::isfinite(month) || !std::isfinite(date))
        return kNaN;
    year = std::trunc(year);
    month = std::trunc(month);
    date = std::trunc(date);
    const double y = year + std::floor(month / 12);
    const int m = static_cast<int>(floorMod(month, 12));
    const bool leap = daysInYear(y) == 366;
    return dayFromYear(y) + monthStart(m, leap) + date - 1;
}

double makeDate(double day, double time) {
    if (!std::isfinite(day) || !std::isfinite(time))
        return kNaN;
    return day * kMsPerDay + time;
}

double timeClip(double t) {
    if (!std::isfinite(t) || std::fabs(t) > 8.64e15)
        return kNaN;
    return std::trunc(t) + 0.0; // + 0.0 turns -0 into +0
}

double localOffsetMs(double utcMs) {
    if (!std::isfinite(utcMs))
        return kNaN;
    // Pick up a TZ set since the last call.
    tzset();
    const double seconds =
        std::clamp(std::floor(utcMs / 1000), -kMaxLibrarySeconds, kMaxLibrarySeconds);
    const time_t when = static_cast<time_t>(seconds);
    struct tm local {};
    if (!localtime_r(&when, &local))
        return 0.0;
    return static_cast<double>(local.tm_gmtoff) * 1000.0;
}

double localTime(double utcMs) {
    return utcMs + localOffsetMs(utcMs);
}

double utcFromLocal(double localMs) {
    if (!std::isfinite(localMs))
        return kNaN;
    // The offset at the local time read as UTC is a first guess; the offset at that guess is
    // the one in force unless a change lies within the offset's width.
    const double guess = localMs - localOffsetMs(localMs);
    return localMs - localOffsetMs(guess);
}

double currentTimeMs() {
    using namespace std::chrono;
    return static_cast<double>(
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

std::string dateToString(double utcMs) {
    if (!std::isfinite(utcMs))
        return "Invalid Date";
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const double offset = localOffsetMs(utcMs);
    const double t = utcMs + offset;
    const long offsetMinutes = std::lround(offset / kMsPerMinute);
    const long absMinutes = std::labs(offsetMinutes);
    char text[1024]; // room for the 309 digits of the largest year and day
    std::snprintf(text, sizeof text, "%s %s %.0f %02d:%02d:%02d GMT%c%02ld%02ld %.0f",
                  kDays[static_cast<int>(weekDay(t))], kMonths[static_cast<int>(monthFromTime(t))],
                  dateFromTime(t), static_cast<int>(hourFromTime(t)),
                  static_cast<int>(minFromTime(t)), static_cast<int>(secFromTime(t)),
                  offsetMinutes < 0 ? '-' : '+', absMinutes / 60, absMinutes % 60, yearFromTime(t));
    return text;
}

} // namespace swivio::swf::avm1
