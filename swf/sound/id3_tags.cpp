#include "swf/sound/id3_tags.h"

#include <algorithm>
#include <string_view>

namespace swivio::swf::sound {

namespace {

// Frame ids (ID3v2.3/2.4, then 2.2) of the fields Flash also names.
struct CommonName {
    const char* id4;
    const char* id3;
    const char* name;
};
constexpr CommonName kCommonNames[] = {
    {"TIT2", "TT2", "songname"}, {"TPE1", "TP1", "artist"}, {"TALB", "TAL", "album"},
    {"TYER", "TYE", "year"},     {"COMM", "COM", "comment"}, {"TRCK", "TRK", "track"},
    {"TCON", "TCO", "genre"},
};

void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Text in one of the four ID3v2 encodings, up to its terminator; consumed tells how many
// bytes it took with the terminator.
std::string decodeText(std::span<const uint8_t> bytes, uint8_t encoding, std::size_t* consumed) {
    std::string out;
    std::size_t i = 0;
    const bool wide = encoding == 1 || encoding == 2;
    bool bigEndian = encoding == 2;
    if (encoding == 1 && bytes.size() >= 2) {
        if (bytes[0] == 0xFF && bytes[1] == 0xFE) {
            bigEndian = false;
            i = 2;
        } else if (bytes[0] == 0xFE && bytes[1] == 0xFF) {
            bigEndian = true;
            i = 2;
        }
    }
    while (i < bytes.size() && out.size() < kMaxId3ValueBytes) {
        if (wide) {
            if (i + 1 >= bytes.size()) {
                i = bytes.size();
                break;
            }
            uint32_t unit = bigEndian ? (bytes[i] << 8 | bytes[i + 1]) : (bytes[i + 1] << 8 | bytes[i]);
            i += 2;
            if (unit == 0)
                break;
            if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < bytes.size()) {
                const uint32_t low = bigEndian ? (bytes[i] << 8 | bytes[i + 1])
                                               : (bytes[i + 1] << 8 | bytes[i]);
                if (low >= 0xDC00 && low < 0xE000) {
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
            if (unit >= 0xD800 && unit < 0xE000)
                unit = 0xFFFD; // a lone surrogate
            appendUtf8(out, unit);
        } else {
            const uint8_t c = bytes[i++];
            if (c == 0)
                break;
            if (encoding == 3)
                out += char(c); // UTF-8 already
            else
                appendUtf8(out, c);
        }
    }
    if (consumed)
        *consumed = i;
    return out;
}

// ID3v1 fields are Latin-1, padded with zeros or spaces.
std::string latinField(std::span<const uint8_t> bytes) {
    std::string out = decodeText(bytes, 0, nullptr);
    while (!out.empty() && (out.back() == ' '))
        out.pop_back();
    return out;
}

uint32_t syncsafe(const uint8_t* p) {
    return uint32_t(p[0] & 0x7F) << 21 | uint32_t(p[1] & 0x7F) << 14 |
           uint32_t(p[2] & 0x7F) << 7 | uint32_t(p[3] & 0x7F);
}

class TagBuilder {
public:
    explicit TagBuilder(Id3Tags& tags) : m_tags(tags) {}
    void add(std::string name, std::string value) {
        if (m_tags.fields.size() >= kMaxId3Fields || m_tags.find(name))
            return;
        m_tags.fields.emplace_back(std::move(name), std::move(value));
    }

private:
    Id3Tags& m_tags;
};

void readFrame(TagBuilder& out, std::string_view id, std::span<const uint8_t> body, bool v22) {
    if (body.empty())
        return;
    const uint8_t encoding = body[0] <= 3 ? body[0] : 0;
    std::string value;
    const bool comment = id == (v22 ? "COM" : "COMM");
    if (comment) {
        // Encoding, language, a short description, then the text.
        if (body.size() < 4)
            return;
        std::size_t used = 0;
        decodeText(body.subspan(4), encoding, &used);
        value = decodeText(body.subspan(std::min(body.size(), 4 + used)), encoding, nullptr);
    } else if (id[0] == 'T') {
        value = decodeText(body.subspan(1), encoding, nullptr);
    } else {
        return; // pictures and other binary frames are not shown
    }
    out.add(std::string(id), value);
    for (const CommonName& common : kCommonNames)
        if (id == (v22 ? common.id3 : common.id4))
            out.add(common.name, value);
}

// Undoes unsynchronisation: a zero after 0xFF was inserted by the writer.
std::vector<uint8_t> resynchronise(std::span<const uint8_t> bytes) {
    std::vector<uint8_t> out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0)
            ++i;
    }
    return out;
}

void readId3v2(TagBuilder& out, std::span<const uint8_t> data) {
    if (data.size() < 10 || data[0] != 'I' || data[1] != 'D' || data[2] != '3')
        return;
    const int major = data[3];
    const uint8_t flags = data[5];
    if (major < 2 || major > 4)
        return;
    const std::size_t size = std::min<std::size_t>(syncsafe(&data[6]), data.size() - 10);
    std::vector<uint8_t> resynced;
    std::span<const uint8_t> body = data.subspan(10, size);
    if (flags & 0x80) {
        resynced = resynchronise(body);
        body = resynced;
    }
    std::size_t at = 0;
    if ((flags & 0x40) && major >= 3 && body.size() >= 4) {
        // The extended header: its size counts itself in 2.4, not in 2.3.
        const std::size_t extended = major == 4 ? syncsafe(&body[0])
                                                : (std::size_t(body[0]) << 24 | body[1] << 16 |
                                                   body[2] << 8 | body[3]) + 4;
        at = std::min(body.size(), extended);
    }
    const bool v22 = major == 2;
    const std::size_t headerBytes = v22 ? 6 : 10;
    while (at + headerBytes <= body.size()) {
        const uint8_t* h = &body[at];
        if (h[0] == 0)
            break; // padding
        const std::string id(reinterpret_cast<const char*>(h), v22 ? 3 : 4);
        std::size_t frameSize;
        if (v22)
            frameSize = std::size_t(h[3]) << 16 | h[4] << 8 | h[5];
        else if (major == 4)
            frameSize = syncsafe(h + 4);
        else
            frameSize = std::size_t(h[4]) << 24 | h[5] << 16 | h[6] << 8 | h[7];
        at += headerBytes;
        if (frameSize > body.size() - at)
            break;
        for (char c : id)
            if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
                return;
        // Compressed or encrypted frames are skipped.
        const bool packed = !v22 && (major == 3 ? (h[9] & 0xC0) : (h[9] & 0x0C));
        if (!packed)
            readFrame(out, id, body.subspan(at, frameSize), v22);
        at += frameSize;
    }
}

void readId3v1(TagBuilder& out, std::span<const uint8_t> data) {
    if (data.size() < 128)
        return;
    const auto tag = data.subspan(data.size() - 128);
    if (tag[0] != 'T' || tag[1] != 'A' || tag[2] != 'G')
        return;
    out.add("songname", latinField(tag.subspan(3, 30)));
    out.add("artist", latinField(tag.subspan(33, 30)));
    out.add("album", latinField(tag.subspan(63, 30)));
    out.add("year", latinField(tag.subspan(93, 4)));
    out.add("comment", latinField(tag.subspan(97, 30)));
    // ID3v1.1: a zero before the comment's last byte makes that byte the track number.
    if (tag[125] == 0 && tag[126] != 0)
        out.add("track", std::to_string(tag[126]));
    out.add("genre", std::to_string(tag[127]));
}

} // namespace

const std::string* Id3Tags::find(std::string_view name) const {
    for (const auto& [key, value] : fields)
        if (key == name)
            return &value;
    return nullptr;
}

std::size_t id3v2TagSize(std::span<const uint8_t> data) {
    if (data.size() < 10 || data[0] != 'I' || data[1] != 'D' || data[2] != '3')
        return 0;
    return 10 + std::size_t(syncsafe(&data[6])) + ((data[5] & 0x10) ? 10 : 0);
}

Id3Tags readId3Tags(std::span<const uint8_t> data) {
    Id3Tags tags;
    TagBuilder builder(tags);
    readId3v2(builder, data);
    readId3v1(builder, data);
    return tags;
}

} // namespace swivio::swf::sound
