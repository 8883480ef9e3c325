#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Number conversions of ActionScript 1/2, with the player's own rules where they differ from
// ECMAScript. Pure functions over plain values: the interpreter converts its values to double or
// string first. Strings are byte strings (UTF-8 or the movie's code page); only ASCII bytes have a
// meaning here. Every function accepts any input, never allocates more than a small multiple of
// its input and runs in time linear in it.
namespace swivio::swf::avm1 {

// The text of a number in trace() and string concatenation: "NaN", "Infinity", "-Infinity";
// integers in the 32-bit range as they are ("-0" prints "0"); others rounded to 15 significant
// digits (halves away from zero), in exponent form from 1e15 up and below 1e-5
// ("1.5e+21", "5.4e-6").
std::string numberToString(double v);

// Number.prototype.toString(radix). A radix outside 2..36, or 10, gives numberToString(v). In
// other radixes the value is truncated toward zero and written with a '-' for negatives; NaN,
// the infinities and values outside (-2^31, 2^31) give "0".
std::string numberToStringRadix(double v, int radix);

// ToNumber of a string in a movie of the given SWF version.
// - Leading ASCII whitespace is skipped; anything after the number, trailing whitespace too,
//   makes it NaN (from SWF 5; SWF 4 and earlier read the leading number and give 0 for none).
// - "" is NaN from SWF 5, 0 in SWF 4 and earlier.
// - "Infinity" and "NaN" are not numbers (NaN).
// - From SWF 6: "0x"/"0X" at the very start reads the rest as a 32-bit wrapping hexadecimal
//   integer that may carry its own sign ("0x-10" is -16); a sign before "0x" gives NaN. A
//   string of a '0' and octal digits only, with an optional sign, is a 32-bit wrapping octal
//   integer ("010" is 8).
double stringToNumber(std::string_view s, int swfVersion);

// The radix argument of parseInt as this module wants it: ToInt32 of the argument's number,
// with a given 0 (or NaN, undefined, false) made an out-of-range radix, since 0 here means
// "not given".
int parseIntRadixArgument(double radix);

// parseInt(s, radix). radix 0 means no radix was given; any other value outside 2..36 gives NaN.
// Without a radix "0x"/"0X" at the very start means hexadecimal and a '0' followed only by octal
// digits (optionally signed) means octal; a sign before "0x" is dropped with the '0'
// ("-0x10" reads "x10", which is NaN in decimal). With a radix a leading "0x" is skipped too.
// Then whitespace, one sign and the longest run of digits of the radix; no digit is NaN.
// swfVersion is accepted for the interpreter's convenience; the rules above hold in all.
double parseIntValue(std::string_view s, int radix, int swfVersion);

// parseFloat(s): leading whitespace, a sign, digits with one '.', an optional exponent; the rest
// is ignored. NaN when no digit or '.' starts it.
double parseFloatValue(std::string_view s);

// ECMAScript ToInt32 and ToUint32: truncate, then wrap modulo 2^32; NaN and infinities give 0.
int32_t toInt32(double v);
uint32_t toUint32(double v);

// The ToInteger action and int(): ToInt32 as a number (int(0xffffffff) is -1, int(NaN) is 0).
double toIntegerAction(double v);

// The shift count of the shift actions: the low 5 bits of ToUint32.
int shiftCount(double v);

// The result of an unsigned right shift: SWF 8 and 9 push it as a signed 32-bit number
// (4294967295 >>> 0 is -1 there), other versions as unsigned.
double unsignedShiftResult(uint32_t shifted, int swfVersion);

} // namespace swivio::swf::avm1
