#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "encode/avi/video_compressor_list.h"

namespace swivio {

// The probed compressor list kept between runs, so that a process does not test every
// encoder again. The file holds a key line (what the probe depends on: the cache format and
// the libavcodec version and build) and one line per compressor (encoder name, FourCC, size
// rule); "Uncompressed" and what follows from the encoder (its quality scale) are not kept.

// "$XDG_CACHE_HOME/swivio/video-compressors-<libavcodec version>.txt" ($HOME/.cache when
// XDG_CACHE_HOME is unset or relative); empty when neither gives an absolute folder.
std::string videoCompressorCachePath();

// The file's text for `list` (entries with FourCC 0 are left out) under `key`.
std::string videoCompressorCacheText(const std::vector<VideoCompressorInfo>& list,
                                     const std::string& key);

// The entries of a cache file's text, each passed through `accept` (which may fill in what
// the file does not keep, and rejects an entry by returning false). nullopt when the text
// has another key, a malformed or rejected line, a FourCC or name twice, or no entry: the
// caller then probes again. Never throws.
std::optional<std::vector<VideoCompressorInfo>>
parseVideoCompressorCache(const std::string& text, const std::string& key,
                          const std::function<bool(VideoCompressorInfo&)>& accept);

// Reads the file whole; nullopt when it cannot be read or exceeds 1 MiB.
std::optional<std::string> readVideoCompressorCache(const std::string& path);
// Writes the file through a temporary one renamed over it, creating the folder; false on
// failure (the cache is then simply not kept).
bool writeVideoCompressorCache(const std::string& path, const std::string& text);

} // namespace swivio
