// Sound files imported into MPEG output: the bytes are read as a WAV file and as an MP3 file,
// and every chunk the source yields is converted and coded as layer II sound, as the MPEG
// writer does.

#include <cstdint>
#include <string>

#include "encode/mpeg/mpeg_audio_encoder.h"
#include "encode/mpeg/mpeg_sound_source.h"
#include "scratch_file.h"

namespace {

void run(const uint8_t* data, size_t size, const char* extension) {
    const std::string path = swivio::fuzz::writeScratchFile(data, size, extension);
    if (path.empty())
        return;

    std::string error;
    auto source = swivio::openMpegSoundSource(path, error);
    if (!source)
        return;
    swivio::MpegAudioEncoder encoder;
    if (!encoder.open(AV_CODEC_ID_MP2, 44100, 224000, error))
        return;
    const swivio::PacketSink drop = [](AVPacket&) { return true; };
    swivio::SoundChunk chunk;
    while (source->read(chunk)) {
        if (!encoder.append(chunk, error))
            return;
        // Coding every whole frame keeps the queue, and memory, flat.
        while (encoder.queuedSamples() >= encoder.frameSize())
            if (!encoder.encodeFrame(drop, error))
                return;
    }
    if (encoder.drainConverter(error))
        (void)encoder.flush(drop, error);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    run(data, size, "wav");
    run(data, size, "mp3");
    return 0;
}
