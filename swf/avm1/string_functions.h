#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace swivio::swf::avm1 {

int utf16Length(std::string_view s);
int charCodeAt(std::string_view s, int index);
std::string fromCharCodes(std::span<const uint32_t> codes);
// UTF-16 unit range [begin, end) of s, clamped.
std::string utf16Slice(std::string_view s, int begin, int end);

} // namespace swivio::swf::avm1
