#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace swivio::swf::image {

// Inflates zlib data into out, stopping when out is full. Returns the number of bytes
// written; data that is truncated or damaged part-way gives the bytes decoded before the
// damage, so a picture can show what survived. Never writes past out.
std::size_t inflateBounded(std::span<const uint8_t> zlibData, std::span<uint8_t> out);

} // namespace swivio::swf::image
