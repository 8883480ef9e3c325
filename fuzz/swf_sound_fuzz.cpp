// Arbitrary bytes as a sound tag body or a loaded sound file; the first byte chooses which.
// What is parsed is then used the way the player uses it (lengths, tags, channels).
#include <cstddef>
#include <cstdint>
#include <span>

#include "swf/format/sound.h"
#include "swf/sound/id3_tags.h"
#include "swf/sound/mp3_frames.h"
#include "swf/sound/sound_channels.h"
#include "swf/sound/sound_library.h"

using namespace swivio::swf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::span<const uint8_t> body(data + 1, size - 1);
    switch (data[0] % 4) {
    case 0:
        if (auto sound = parseDefineSound(body)) {
            sound::SoundChannels channels;
            const uint32_t ms = sound::soundDurationMs(*sound);
            channels.start(1, sound->id, 0, ms, sound->seekSamples, sound->sampleCount % 7);
            (void)channels.takeFinished(ms / 2.0);
        }
        break;
    case 1:
        (void)parseStartSound(15, body);
        (void)parseStartSound(89, body);
        (void)parseButtonSounds(body);
        break;
    case 2: {
        const sound::Mp3Scan scan = sound::scanMp3Frames(body);
        (void)scan.durationMs(int(size));
        break;
    }
    default: {
        const sound::Id3Tags tags = sound::readId3Tags(body);
        for (const auto& [name, value] : tags.fields)
            (void)tags.find(name + value);
        break;
    }
    }
    return 0;
}
