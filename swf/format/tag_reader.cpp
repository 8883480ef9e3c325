#include "swf/format/tag_reader.h"

namespace swivio::swf {

bool TagReader::next(TagRecord& tag) {
    if (m_done)
        return false;
    const std::size_t left = m_data.size() - m_pos;
    if (left < 2) {
        m_done = true; // a stream without End simply ends
        return false;
    }
    const std::size_t start = m_pos;
    const uint16_t head = loadLe16(m_data.data() + m_pos);
    const uint16_t code = head >> 6;
    std::size_t length = head & 0x3F;
    std::size_t headerSize = 2;
    if (length == 0x3F) {
        if (left < 6) {
            m_done = m_damaged = true;
            m_message = tagMessage(code, m_base + start, "tag header cut short");
            return false;
        }
        length = loadLe32(m_data.data() + m_pos + 2);
        headerSize = 6;
    }
    if (length > left - headerSize) {
        m_done = m_damaged = true;
        m_message = tagMessage(code, m_base + start,
                               "tag length " + std::to_string(length) + " runs past the end");
        return false;
    }
    tag.code = code;
    tag.body = m_data.subspan(m_pos + headerSize, length);
    tag.offset = m_base + start;
    m_pos += headerSize + length;
    if (code == 0) {
        m_done = true;
        return false;
    }
    return true;
}

std::string tagMessage(uint16_t code, std::size_t offset, const std::string& text) {
    return "tag " + std::to_string(code) + " at offset " + std::to_string(offset) + ": " + text;
}

} // namespace swivio::swf
