#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "base/byte_reader.h"

namespace swivio::swf {

// One tag of a tag stream: its code, its body, and where its header starts (offset within
// the stream's data, for messages).
struct TagRecord {
    uint16_t code = 0;
    std::span<const uint8_t> body;
    std::size_t offset = 0;

    // A reader bounded to this tag's body, so a damaged tag cannot read into the next.
    ByteReader reader() const { return ByteReader(body); }
};

// Walks a stream of tags (the movie's, or a sprite's). next() gives each whole tag in turn;
// it stops at the End tag, at the end of the data, or at a tag whose declared length runs
// past the end (then damaged() is true and message() says where).
class TagReader {
public:
    // baseOffset is added to offsets in messages (the stream's place within the movie).
    explicit TagReader(std::span<const uint8_t> data, std::size_t baseOffset = 0)
        : m_data(data), m_base(baseOffset) {}

    bool next(TagRecord& tag);
    bool damaged() const { return m_damaged; }
    const std::string& message() const { return m_message; }

private:
    std::span<const uint8_t> m_data;
    std::size_t m_base = 0;
    std::size_t m_pos = 0;
    bool m_done = false;
    bool m_damaged = false;
    std::string m_message;
};

// "tag 26 at offset 1234: text", the form of every tag-level message.
std::string tagMessage(uint16_t code, std::size_t offset, const std::string& text);

} // namespace swivio::swf
