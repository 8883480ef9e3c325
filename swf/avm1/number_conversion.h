#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace swivio::swf::avm1 {

std::string numberToString(double v);
std::string numberToStringRadix(double v, int radix);
double stringToNumber(std::string_view s, int swfVersion);
double parseIntValue(std::string_view s, int radix, int swfVersion);
double parseFloatValue(std::string_view s);
int32_t toInt32(double v);
uint32_t toUint32(double v);

} // namespace swivio::swf::avm1
