#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace swivio::swf::sound {

// The tags of an MP3 file as a script's id3 object shows them: the ID3v2 frames by their
// ids ("TIT2"), and the names Flash gives the common ones (songname, artist, album, year,
// comment, track, genre), from ID3v2 or else the ID3v1 block at the end. Values are UTF-8.
struct Id3Tags {
    std::vector<std::pair<std::string, std::string>> fields;
    bool empty() const { return fields.empty(); }
    // The value of a field, or null.
    const std::string* find(std::string_view name) const;
};

// The bytes an ID3v2 tag at the start of data takes (header and footer included), 0 when
// there is none. May be more than data holds, for a tag cut short.
std::size_t id3v2TagSize(std::span<const uint8_t> data);

// Reads both tag kinds. Bounded: damaged sizes, encodings or counts give fewer fields, never
// a read outside data; at most kMaxId3Fields fields of at most kMaxId3ValueBytes bytes each.
Id3Tags readId3Tags(std::span<const uint8_t> data);

inline constexpr std::size_t kMaxId3Fields = 256;
inline constexpr std::size_t kMaxId3ValueBytes = 4096;

} // namespace swivio::swf::sound
