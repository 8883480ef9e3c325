#include "encode/avi/riff_avi_file.h"

#include <algorithm>
#include <cstdio>

#include "base/byte_writer.h"

namespace swivio {

namespace {

constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kAvifIsInterleaved = 0x100;
constexpr uint32_t kAviifKeyFrame = 0x10;
constexpr uint32_t kIndexOfIndexes = 0x00;
constexpr uint32_t kIndexOfChunks = 0x01;
constexpr uint32_t kNotKeyFrameBit = 0x80000000u;
constexpr std::size_t kSuperIndexHeader = 24;
constexpr std::size_t kSuperIndexEntrySize = 16;
constexpr std::size_t kDmlhSize = 248;
constexpr std::size_t kWriteBuffer = std::size_t(1) << 20;

// A header or index being built: little-endian values, tags, chunks and lists in `v`.
class Bytes : public ByteWriter {
public:
    Bytes() : ByteWriter(v) {}
    Bytes(const Bytes&) = delete;
    Bytes& operator=(const Bytes&) = delete;

    std::vector<uint8_t> v;
    void tag(const char (&s)[5]) { u32(fourCc(s)); }
    // A chunk: id, size, body, pad byte when the size is odd.
    void chunk(uint32_t id, const std::vector<uint8_t>& body) {
        u32(id);
        u32(uint32_t(body.size()));
        bytes(body);
        if (body.size() & 1)
            u8(0);
    }
    void list(const char (&type)[5], const std::vector<uint8_t>& body) {
        tag("LIST");
        u32(uint32_t(body.size() + 4));
        tag(type);
        bytes(body);
    }
};

uint32_t chunkIdFor(int stream, std::string_view suffix) {
    const char id[5] = {char('0' + stream / 10), char('0' + stream % 10), suffix[0], suffix[1], 0};
    return fourCc(id);
}

uint32_t indexIdFor(int stream) {
    const char id[5] = {'i', 'x', char('0' + stream / 10), char('0' + stream % 10), 0};
    return fourCc(id);
}

} // namespace

RiffAviFile::~RiffAviFile() {
    abandon();
}

bool RiffAviFile::fail(std::string message) {
    if (!m_failed) {
        m_failed = true;
        m_error = std::move(message);
    }
    return false;
}

bool RiffAviFile::create(const std::string& path, uint64_t riffLimit) {
    m_path = path;
    m_riffLimit = std::max<uint64_t>(riffLimit, 1);
    m_file = clib::openFile(path.c_str(), "wb");
    if (!m_file)
        return fail("Cannot create " + path + ".");
    std::setvbuf(m_file.get(), nullptr, _IOFBF, kWriteBuffer);
    return true;
}

void RiffAviFile::abandon() {
    m_file.reset();
}

int RiffAviFile::addStream(const AviStreamHeader& header, std::vector<uint8_t> format,
                           std::string_view chunkSuffix) {
    Stream s;
    s.header = header;
    s.format = std::move(format);
    const int number = int(m_streams.size());
    s.chunkId = chunkIdFor(number, chunkSuffix);
    m_streams.push_back(std::move(s));
    return number;
}

void RiffAviFile::setMainHeader(uint32_t microSecPerFrame, uint32_t width, uint32_t height) {
    m_microSecPerFrame = microSecPerFrame;
    m_width = width;
    m_height = height;
}

bool RiffAviFile::write(const void* data, std::size_t size) {
    if (m_failed)
        return false;
    if (size && std::fwrite(data, 1, size, m_file.get()) != size)
        return fail("Cannot write to " + m_path + ".");
    m_pos += size;
    return true;
}

bool RiffAviFile::writeAt(uint64_t pos, const std::vector<uint8_t>& bytes) {
    if (m_failed)
        return false;
    std::FILE* f = m_file.get();
    if (fseeko(f, off_t(pos), SEEK_SET) != 0 ||
        std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
        fseeko(f, off_t(m_pos), SEEK_SET) != 0)
        return fail("Cannot write to " + m_path + ".");
    return true;
}

uint32_t RiffAviFile::totalFrames() const {
    // The first stream is the video stream.
    return m_streams.empty() ? 0 : m_streams.front().chunks;
}

std::vector<uint8_t> RiffAviFile::headerList(bool final) const {
    const bool odml = final && m_riffCount > 1;
    Bytes body;

    uint32_t largest = 0;
    for (const Stream& s : m_streams)
        largest = std::max(largest, s.largestChunk);
    Bytes avih;
    avih.u32(m_microSecPerFrame);
    avih.u32(0); // max bytes per second: not promised
    avih.u32(0); // padding granularity
    avih.u32(kAvifHasIndex | kAvifIsInterleaved);
    // An AVI 1.0 reader sees only the first RIFF list, so the main header counts its frames.
    avih.u32(odml ? (m_streams.empty() ? 0 : m_streams.front().firstRiffChunks) : totalFrames());
    avih.u32(0); // initial frames
    avih.u32(uint32_t(m_streams.size()));
    avih.u32(largest);
    avih.u32(m_width);
    avih.u32(m_height);
    avih.zeros(16);
    body.chunk(fourCc("avih"), avih.v);

    for (std::size_t i = 0; i < m_streams.size(); ++i) {
        const Stream& s = m_streams[i];
        AviStreamHeader h = s.header;
        if (final) {
            h.length = h.sampleSize ? uint32_t(s.bytes / h.sampleSize) : s.chunks;
            h.suggestedBufferSize = s.largestChunk;
        }
        Bytes strh;
        strh.u32(h.type);
        strh.u32(h.handler);
        strh.u32(h.flags);
        strh.u16(h.priority);
        strh.u16(h.language);
        strh.u32(h.initialFrames);
        strh.u32(h.scale);
        strh.u32(h.rate);
        strh.u32(h.start);
        strh.u32(h.length);
        strh.u32(h.suggestedBufferSize);
        strh.u32(uint32_t(h.quality));
        strh.u32(h.sampleSize);
        strh.u16(uint16_t(h.left));
        strh.u16(uint16_t(h.top));
        strh.u16(uint16_t(h.right));
        strh.u16(uint16_t(h.bottom));

        // Space for the super index is always reserved, as a JUNK chunk until it is needed,
        // so that turning into an OpenDML file never moves the movie data.
        Bytes indx;
        indx.u16(4); // longs per entry
        indx.u8(0);  // sub type
        indx.u8(kIndexOfIndexes);
        indx.u32(odml ? uint32_t(s.superIndex.size()) : 0);
        indx.u32(s.chunkId);
        indx.zeros(12);
        for (const SuperEntry& e : odml ? s.superIndex : std::vector<SuperEntry>{}) {
            indx.u64(e.offset);
            indx.u32(e.size);
            indx.u32(e.duration);
        }
        indx.v.resize(kSuperIndexHeader + kSuperIndexEntrySize * kSuperIndexEntries, 0);

        Bytes strl;
        strl.chunk(fourCc("strh"), strh.v);
        strl.chunk(fourCc("strf"), s.format);
        strl.chunk(odml ? fourCc("indx") : fourCc("JUNK"), indx.v);
        body.list("strl", strl.v);
    }

    Bytes dmlh;
    dmlh.u32(totalFrames());
    dmlh.v.resize(kDmlhSize, 0);
    if (odml) {
        Bytes odmlBody;
        odmlBody.chunk(fourCc("dmlh"), dmlh.v);
        body.list("odml", odmlBody.v);
    } else {
        // The same 268 bytes as the "odml" list: type, chunk header, dmlh body.
        body.chunk(fourCc("JUNK"), std::vector<uint8_t>(4 + 8 + kDmlhSize, 0));
    }

    Bytes list;
    list.list("hdrl", body.v);
    return list.v;
}

bool RiffAviFile::writeHeaderList(bool final) {
    const std::vector<uint8_t> bytes = headerList(final);
    return final ? writeAt(12, bytes) : write(bytes.data(), bytes.size());
}

bool RiffAviFile::beginRiff(const char (&type)[5]) {
    Bytes b;
    m_riffStart = m_pos;
    b.tag("RIFF");
    b.u32(0); // filled in by endRiff
    b.tag(type);
    if (!write(b.v.data(), b.v.size()))
        return false;
    ++m_riffCount;
    if (m_riffCount == 1 && !writeHeaderList(false))
        return false;
    Bytes movi;
    movi.tag("LIST");
    movi.u32(0);
    m_moviStart = m_pos + 8;
    movi.tag("movi");
    return write(movi.v.data(), movi.v.size());
}

bool RiffAviFile::writeStandardIndex(Stream& s) {
    if (s.segment.empty())
        return true;
    if (s.superIndex.size() >= kSuperIndexEntries)
        return fail(m_path + " is too large for its index.");
    const int number = int(&s - m_streams.data());
    const uint64_t base = s.segment.front().offset;
    Bytes ix;
    ix.u16(2); // longs per entry
    ix.u8(0);
    ix.u8(kIndexOfChunks);
    ix.u32(uint32_t(s.segment.size()));
    ix.u32(s.chunkId);
    ix.u64(base);
    ix.u32(0);
    uint64_t duration = 0;
    for (const IndexEntry& e : s.segment) {
        ix.u32(uint32_t(e.offset - base));
        ix.u32(e.size | (e.keyFrame ? 0 : kNotKeyFrameBit));
        duration += s.header.sampleSize ? e.size / s.header.sampleSize : 1;
    }
    const uint64_t at = m_pos;
    Bytes chunk;
    chunk.chunk(indexIdFor(number), ix.v);
    if (!write(chunk.v.data(), chunk.v.size()))
        return false;
    s.superIndex.push_back(SuperEntry{at, uint32_t(chunk.v.size()), uint32_t(duration)});
    s.segment.clear();
    return true;
}

bool RiffAviFile::endRiff(bool withStandardIndexes) {
    if (withStandardIndexes) {
        for (Stream& s : m_streams)
            if (!writeStandardIndex(s))
                return false;
    }
    Bytes size;
    size.u32(uint32_t(m_pos - m_moviStart));
    if (!writeAt(m_moviStart - 4, size.v))
        return false;
    if (m_riffCount == 1) {
        for (Stream& s : m_streams)
            s.firstRiffChunks = s.chunks;
        Bytes idx1;
        idx1.tag("idx1");
        idx1.u32(uint32_t(m_idx1.size() * 16));
        for (const Idx1Entry& e : m_idx1) {
            idx1.u32(e.chunkId);
            idx1.u32(e.flags);
            idx1.u32(e.offset);
            idx1.u32(e.size);
        }
        if (!write(idx1.v.data(), idx1.v.size()))
            return false;
        m_idx1.clear();
        m_idx1.shrink_to_fit();
    }
    size.v.clear();
    size.u32(uint32_t(m_pos - m_riffStart - 8));
    return writeAt(m_riffStart + 4, size.v);
}

bool RiffAviFile::beginFrame() {
    if (m_failed || !m_file)
        return false;
    if (m_riffCount == 0)
        return beginRiff("AVI ");
    if (m_pos - m_riffStart < m_riffLimit)
        return true;
    return endRiff(true) && beginRiff("AVIX");
}

bool RiffAviFile::writeChunk(int stream, const uint8_t* data, std::size_t size, bool keyFrame) {
    if (m_failed || !m_file || m_riffCount == 0)
        return false;
    if (size > 0xFFFFFFF0u)
        return fail("A chunk is too large for " + m_path + ".");
    Stream& s = m_streams.at(std::size_t(stream));
    const uint32_t size32 = uint32_t(size);
    if (m_riffCount == 1)
        m_idx1.push_back(Idx1Entry{s.chunkId, keyFrame ? kAviifKeyFrame : 0,
                                   uint32_t(m_pos - m_moviStart), size32});
    Bytes header;
    header.u32(s.chunkId);
    header.u32(size32);
    if (!write(header.v.data(), header.v.size()))
        return false;
    s.segment.push_back(IndexEntry{m_pos, size32, keyFrame});
    static const uint8_t kPad = 0;
    if (!write(data, size) || ((size & 1) && !write(&kPad, 1)))
        return false;
    ++s.chunks;
    s.bytes += size;
    s.largestChunk = std::max(s.largestChunk, size32);
    return true;
}

bool RiffAviFile::finish() {
    if (!m_file)
        return fail("The AVI file is not open.");
    if (!m_failed && m_riffCount == 0)
        (void)beginRiff("AVI ");
    // Standard indexes are only needed once the file has more than one RIFF list.
    if (!m_failed)
        (void)endRiff(m_riffCount > 1);
    if (!m_failed)
        (void)writeHeaderList(true);
    std::FILE* f = m_file.release();
    if (std::fclose(f) != 0)
        fail("Cannot complete " + m_path + ".");
    return !m_failed;
}

} // namespace swivio
