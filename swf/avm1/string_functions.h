#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The string operations of ActionScript 1/2's String object and global functions, as pure
// functions on UTF-8 strings. The player's strings are UTF-16, so every index, length and
// position taken or given here counts UTF-16 code units: a character outside the BMP counts 2.
//
// Input need not be valid UTF-8: an invalid sequence reads as one U+FFFD, exactly as
// sanitizeUtf8 would make it, and nothing reads outside the view. Output is always valid
// UTF-8. A code unit that is half of a surrogate pair, cut off by an index, comes out as U+FFFD
// (one code unit, so lengths still add up).
//
// Numeric arguments are the script's numbers before any integer conversion: each function
// applies ToInt32 itself (NaN and infinities give 0, larger values wrap modulo 2^32), so
// 4294967297 reads as 1. An optional argument the script left out or passed as undefined is
// std::nullopt: the player treats undefined as missing there (substr(3, undefined) is the rest of
// the string, lastIndexOf("a", undefined) searches the whole). Where a call with no arguments
// gives undefined (indexOf and lastIndexOf without a search; slice, substr and substring without
// a start), the caller answers it before calling in.
namespace swivio::swf::avm1 {

// The number of UTF-16 code units.
[[nodiscard]] int utf16Length(std::string_view s);

// The code unit at index, or -1 when the index is negative or past the end (the caller makes
// that NaN). SWF 5 movies read 0 past the end, though still NaN for a negative index.
[[nodiscard]] int charCodeAt(std::string_view s, double index, int swfVersion = 6);

// The one-code-unit string at index; "" when out of range.
[[nodiscard]] std::string charAt(std::string_view s, double index);

// String.fromCharCode: each number is taken modulo 65536 (callers pass ToUint32 of the
// script's number, so -65456 gives 80, and NaN or "BAD" 0); a 0 ends the string there. A high
// surrogate followed by a low one makes one character; any other surrogate becomes U+FFFD.
[[nodiscard]] std::string fromCharCodes(std::span<const uint32_t> codes);

// String.indexOf: the first position at or after from where search occurs, or -1. A negative
// from searches from 0; a from past the end finds nothing, not even an empty search.
[[nodiscard]] int indexOf(std::string_view s, std::string_view search,
                          std::optional<double> from = std::nullopt);

// String.lastIndexOf: the last position at or before from (the whole string when from is
// missing) where search occurs, or -1. A negative from finds nothing; a from past the end
// counts as the end; an empty search is found at min(from, length).
[[nodiscard]] int lastIndexOf(std::string_view s, std::string_view search,
                              std::optional<double> from = std::nullopt);

// String.substr: length code units from start. A negative start counts from the end; a
// missing length takes the rest; a length reaching before start gives "". (The caller returns
// undefined when the script passed no argument at all.)
[[nodiscard]] std::string substr(std::string_view s, double start,
                                 std::optional<double> length = std::nullopt);

// String.substring: the units between start and end, each clamped to [0, length], swapped when
// end comes first; a missing end is the end of the string.
[[nodiscard]] std::string substring(std::string_view s, double start,
                                    std::optional<double> end = std::nullopt);

// String.slice: like substring, but negative positions count from the end and an end before
// start gives "" instead of swapping.
[[nodiscard]] std::string slice(std::string_view s, double start,
                                std::optional<double> end = std::nullopt);

// String.split. delimiter is std::nullopt when the script passed none or undefined; limit is
// std::nullopt when it passed none or undefined (a limit of 0 or less gives an empty array).
// SWF 6 and later: no delimiter gives [s]; an empty delimiter gives one element per code unit;
// an empty string with a non-empty delimiter gives [""] whatever the limit.
// SWF 5: the missing delimiter is ","; an empty delimiter gives [s] whatever the limit; a
// delimiter of more than one code unit never matches, so it gives [s] (or [] for a limit of 0
// or less).
[[nodiscard]] std::vector<std::string> split(std::string_view s,
                                             std::optional<std::string_view> delimiter,
                                             std::optional<double> limit, int swfVersion);

// String.toUpperCase and toLowerCase: one code unit to one by the player's own table (Latin-1,
// Latin Extended, IPA, Greek, Cyrillic, Armenian, Georgian, Latin Extended Additional, Greek
// Extended, Roman numerals, circled and fullwidth letters). It predates much of Unicode and
// keeps its quirks: µ and ß stay, ς becomes U+03A2; characters outside the BMP never change.
[[nodiscard]] std::string toUpperCase(std::string_view s);
[[nodiscard]] std::string toLowerCase(std::string_view s);

// The order of Less2 and Greater between two strings: negative, 0 or positive. The player
// orders by code point, so U+FF61 sorts before U+10002 (whose first UTF-16 unit, 0xD800, is
// smaller); for valid UTF-8 that is the order of the bytes.
[[nodiscard]] int compareStrings(std::string_view a, std::string_view b);

// The global escape: ASCII letters and digits stay, every other byte becomes %XX with
// upper-case hex digits (so "@*_+-./" are escaped too). The bytes are the UTF-8 form from
// SWF 6 on, the Windows-1252 form in SWF 5 and earlier ("é" gives %C3%A9 or %E9; a character
// Windows-1252 lacks gives '?').
[[nodiscard]] std::string escape(std::string_view s, int swfVersion = 6);

// The global unescape: %XX gives that byte, '+' gives a space. A '%' followed by a character
// that is not a hex digit drops the '%', the digits read so far and that character; a '%' cut
// off by the end is dropped. There is no %uXXXX form: "%u0041" gives "0041". The bytes
// produced are read as UTF-8 (an invalid sequence as U+FFFD), or as Windows-1252 in SWF 5 and
// earlier. unescape(escape(s, v), v) == s for valid UTF-8 (in SWF 5, for what Windows-1252
// can hold).
[[nodiscard]] std::string unescape(std::string_view s, int swfVersion = 6);

// A string from the action bytes of a SWF 5 or earlier movie, in the author's code page, read
// as Windows-1252 and given back as UTF-8. Every byte is decoded, even when the whole happens to
// be valid UTF-8: the player counts such a string's bytes as characters ("ö" written as UTF-8
// has length 2 and char code 195 at 0), and keeping it would change every index. Bytes that
// Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+0081 and so on.
[[nodiscard]] std::string decodeLegacyString(std::string_view bytes);

// Valid UTF-8 as it is; each maximal invalid sequence (stray continuation byte, truncated or
// overlong sequence, an encoded surrogate, a value past U+10FFFF) replaced with U+FFFD.
[[nodiscard]] std::string sanitizeUtf8(std::string_view s);

} // namespace swivio::swf::avm1
