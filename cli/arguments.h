#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace swivio::cli {

// Words of the command line into values; each refuses anything but the whole form.

// A decimal number from low to high.
std::optional<int> parseInteger(const std::string& text, int low, int high);
// WIDTHxHEIGHT, each side 1 to 8192.
std::optional<std::array<int, 2>> parseSize(const std::string& text);
// X,Y,WIDTH,HEIGHT.
std::optional<std::array<int, 4>> parseRect(const std::string& text);
// RRGGBB (an optional leading '#') into 0x00BBGGRR.
std::optional<uint32_t> parseColor(std::string text);
// The index of `text` among `names`, compared without regard to case and with '-' standing
// for a space ("animated-gif" is "Animated GIF").
std::optional<int> parseName(const std::string& text, std::span<const char* const> names);

} // namespace swivio::cli
