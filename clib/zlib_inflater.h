#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace swivio::clib {

// What one decoding step of ZlibInflater or LzmaDecoder came to.
enum class DecodeStatus {
    Ok,         // all the input given was used; more input is needed to go on
    StreamEnd,  // the compressed stream is complete; nothing after it was consumed
    OutputFull, // the output window is full; call again with a new window (and the rest
                // of the input) to go on
    Error,      // the data is damaged or memory ran out; errorString() says which. Sticky.
};

struct DecodeStep {
    DecodeStatus status = DecodeStatus::Ok;
    std::size_t consumed = 0; // bytes of the input window used
    std::size_t produced = 0; // bytes written to the start of the output window
};

// Owns a zlib inflate stream (zlib format: a 2-byte header, deflate data, an Adler-32
// trailer), as the body of a "CWS" movie after its 8-byte header stores it.
//
// Decoding is incremental: the caller gives an input window and an output window, and
// inflate() decodes as much as both allow, flushing every byte it can (Z_SYNC_FLUSH), so
// what has been produced never waits for more input. The caller keeps ownership of both
// windows; nothing is retained between calls except zlib's own state (about 44 KiB).
//
// A whole body is decoded by a loop such as:
//
//     ZlibInflater inflater;
//     while (true) {
//         DecodeStep step = inflater.inflate(in, inSize, out, outSize);
//         in += step.consumed; inSize -= step.consumed;
//         ... use out[0 .. step.produced) ...
//         if (step.status == DecodeStatus::OutputFull) continue;  // new output window
//         if (step.status == DecodeStatus::Ok && inSize == 0) ... input ran out (truncated)
//         if (step.status == DecodeStatus::StreamEnd) ... done
//         if (step.status == DecodeStatus::Error) ... damaged: inflater.errorString()
//     }
//
// Not copyable; movable. Not thread-safe: one thread at a time.
class ZlibInflater {
public:
    ZlibInflater();
    ~ZlibInflater();
    ZlibInflater(ZlibInflater&&) noexcept;
    ZlibInflater& operator=(ZlibInflater&&) noexcept;
    ZlibInflater(const ZlibInflater&) = delete;
    ZlibInflater& operator=(const ZlibInflater&) = delete;

    // False when zlib could not set up its state (out of memory); inflate() then reports
    // Error.
    bool valid() const { return m_stream != nullptr; }

    // Decodes from in[0 .. inSize) into out[0 .. outSize). Either size may be 0. After
    // StreamEnd or Error further calls consume and produce nothing and repeat that status.
    DecodeStep inflate(const uint8_t* in, std::size_t inSize, uint8_t* out, std::size_t outSize);

    // Total bytes produced since construction.
    uint64_t totalProduced() const { return m_totalProduced; }
    // Why the last step reported Error.
    const std::string& errorString() const { return m_error; }

private:
    struct Stream;
    std::unique_ptr<Stream> m_stream;
    DecodeStatus m_final = DecodeStatus::Ok; // StreamEnd or Error once reached
    uint64_t m_totalProduced = 0;
    std::string m_error;
};

} // namespace swivio::clib
