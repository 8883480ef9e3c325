#pragma once

#include <string>

// ECMAScript time arithmetic for the Date object. Times are milliseconds since 1970-01-01 UTC
// as double; NaN stands for an invalid date and every function passes NaN (and infinities)
// through as NaN. Component functions return whole numbers: a fractional time such as 5.5 has
// millisecond 5.
namespace swivio::swf::avm1 {

inline constexpr double kMsPerDay = 86400000.0;
inline constexpr double kMsPerHour = 3600000.0;
inline constexpr double kMsPerMinute = 60000.0;
inline constexpr double kMsPerSecond = 1000.0;

double day(double t);           // whole days since the epoch, floored
double timeWithinDay(double t); // 0 <= result < kMsPerDay
double daysInYear(double year); // 365 or 366
double dayFromYear(double year);
double timeFromYear(double year);
double yearFromTime(double t);
bool inLeapYear(double t);
double monthFromTime(double t); // 0..11
double dateFromTime(double t);  // 1..31
double weekDay(double t);       // 0 is Sunday
double hourFromTime(double t);
double minFromTime(double t);
double secFromTime(double t);
double msFromTime(double t);

// Each argument is truncated toward zero first; any non-finite argument gives NaN.
double makeTime(double hour, double min, double sec, double ms);
// month may lie outside 0..11 and date outside the month: they carry into the year and month.
double makeDay(double year, double month, double date);
double makeDate(double day, double time);
// NaN beyond +-8.64e15 ms (about 275,000 years), else truncated toward zero.
double timeClip(double t);

// The offset of local time from UTC at the instant utcMs, in ms (positive east of Greenwich),
// daylight saving included, from the C library's zone (the TZ environment variable is read
// again on each call). NaN for a non-finite time. Instants the C library cannot represent use
// the offset of the nearest one it can.
double localOffsetMs(double utcMs);
double localTime(double utcMs);
// The UTC time whose local time is localMs; in a gap of a daylight saving change the offset
// from before the change is used.
double utcFromLocal(double localMs);

// Milliseconds since the epoch now, a whole number.
double currentTimeMs();

// Date.prototype.toString of the time utcMs in the local zone:
// "Tue Dec 8 13:48:33 GMT+0000 2026" (day of month and year without padding, the offset as
// sign, hours and minutes), "Invalid Date" for a non-finite time.
std::string dateToString(double utcMs);

} // namespace swivio::swf::avm1
