#pragma once

#include <string>

namespace swivio::cli {

// swivio-cli info on an FLV video: its size, frame rate, length and codecs, one per line
// or as one JSON object. Returns the command's exit code.
int printFlvInfo(const std::string& path, bool json);

} // namespace swivio::cli
