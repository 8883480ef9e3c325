// Arbitrary sound tags through every decoder and the mixer: the first byte chooses a
// DefineSound played by a StartSound (with the SOUNDINFO that follows), or a stream head
// and its blocks (split where the bytes say), each mixed for a few frames.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "swf/format/sound.h"
#include "swf/sound/sound_decoder.h"
#include "swf/sound/sound_mixer.h"

using namespace swivio::swf;

namespace {

void mixSome(sound::SoundMixer& mixer) {
    std::vector<int16_t> out(2 * 1837);
    for (int i = 0; i < 4; ++i)
        mixer.mix(std::span<int16_t>(out));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 8)
        return 0;
    const uint8_t choice = data[0];
    // Keep the decoders' share of time bounded: big inputs add nothing a small one cannot.
    const std::span<const uint8_t> bytes(data + 1, std::min<std::size_t>(size - 1, 1 << 16));
    sound::SoundMixer mixer;
    if (choice & 1) {
        // DefineSound body (after the id) then a SOUNDINFO: the split is the second byte.
        const std::size_t split = std::min<std::size_t>(bytes.size(), 1 + bytes[0] % 64);
        auto info = parseSoundInfo(bytes.subspan(1, split - 1));
        auto definition = parseSoundCharacter(1, bytes.subspan(split));
        if (!definition)
            return 0;
        // The sample count may claim anything; the decoders bound what they make.
        auto decoded = sound::decodeDefinition(*definition);
        if (!decoded)
            return 0;
        sound::EventStart start;
        start.sound = std::make_shared<const sound::DecodedSound>(std::move(*decoded));
        start.soundId = 1;
        if (info)
            start.info = std::move(*info);
        start.info.loops = std::min<uint16_t>(start.info.loops, 3);
        mixer.startEvent(start);
        mixSome(mixer);
    } else {
        auto head = parseSoundStreamHead(bytes.subspan(0, std::min<std::size_t>(bytes.size(), 6)));
        if (!head)
            return 0;
        std::vector<std::span<const uint8_t>> blocks;
        std::size_t at = 6;
        while (at < bytes.size() && blocks.size() < 64) {
            const std::size_t length = std::min<std::size_t>(bytes.size() - at, 1 + bytes[at] * 8u);
            blocks.push_back(bytes.subspan(at, length));
            at += length;
        }
        auto stream = sound::decodeStream(*head, blocks);
        if (!stream)
            return 0;
        auto shared = std::make_shared<const sound::DecodedStream>(std::move(*stream));
        for (std::size_t start : shared->blockStarts) {
            mixer.playStream(1, 0, std::shared_ptr<const sound::DecodedSound>(shared, &shared->sound), start);
            mixSome(mixer);
        }
    }
    return 0;
}
