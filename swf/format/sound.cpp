#include "swf/format/sound.h"

#include "base/byte_reader.h"

namespace swivio::swf {

namespace {

// The 2-bit rate field; Flash's "5.5 kHz" is 5512 samples a second.
constexpr uint32_t kRates[4] = {5512, 11025, 22050, 44100};

// The envelope has at most 255 points (its count is one byte), so reading is bounded.
bool readSoundInfo(ByteReader& in, SoundInfo& info) {
    const uint8_t flags = in.u8();
    info.syncStop = flags & 0x20;
    info.syncNoMultiple = flags & 0x10;
    if (flags & 0x01)
        info.inPoint = in.u32();
    if (flags & 0x02)
        info.outPoint = in.u32();
    if (flags & 0x04)
        info.loops = in.u16();
    if (info.loops == 0)
        info.loops = 1;
    if (flags & 0x08) {
        const uint8_t count = in.u8();
        if (in.remaining() < std::size_t(count) * 8)
            return false;
        info.envelope.reserve(count);
        for (int i = 0; i < count; ++i) {
            SoundEnvelopePoint point;
            point.position44 = in.u32();
            point.leftLevel = in.u16();
            point.rightLevel = in.u16();
            info.envelope.push_back(point);
        }
    }
    return in.ok();
}

} // namespace

uint32_t SoundDefinition::durationMs() const {
    if (rate == 0)
        return 0;
    return uint32_t((uint64_t(sampleCount) * 1000 + rate / 2) / rate);
}

Result<SoundDefinition> parseDefineSound(std::span<const uint8_t> body) {
    if (body.size() < 2)
        return Result<SoundDefinition>::failure("DefineSound cut short at offset 0");
    return parseSoundCharacter(uint16_t(body[0] | body[1] << 8), body.subspan(2));
}

Result<SoundDefinition> parseSoundCharacter(uint16_t id, std::span<const uint8_t> body) {
    ByteReader in(body);
    SoundDefinition sound;
    sound.id = id;
    const uint8_t flags = in.u8();
    sound.sampleCount = in.u32();
    if (!in.ok())
        return Result<SoundDefinition>::failure("DefineSound cut short at offset " +
                                                std::to_string(in.offset()));
    sound.formatCode = flags >> 4;
    sound.rate = kRates[(flags >> 2) & 3];
    sound.sixteenBit = flags & 0x02;
    sound.stereo = flags & 0x01;
    if (sound.format() == SoundFormat::Mp3 && in.remaining() >= 2)
        sound.seekSamples = in.s16();
    sound.data = body.subspan(in.offset());
    return sound;
}

Result<SoundStreamHead> parseSoundStreamHead(std::span<const uint8_t> body) {
    ByteReader in(body);
    SoundStreamHead head;
    in.u8(); // the playback format, a hint only
    const uint8_t flags = in.u8();
    head.samplesPerBlock = in.u16();
    if (!in.ok())
        return Result<SoundStreamHead>::failure("SoundStreamHead cut short at offset " +
                                                std::to_string(in.offset()));
    head.formatCode = flags >> 4;
    head.rate = kRates[(flags >> 2) & 3];
    head.sixteenBit = flags & 0x02;
    head.stereo = flags & 0x01;
    if (head.format() == SoundFormat::Mp3 && in.remaining() >= 2)
        head.latencySeek = in.s16();
    return head;
}

Result<SoundInfo> parseSoundInfo(std::span<const uint8_t> bytes) {
    ByteReader in(bytes);
    SoundInfo info;
    if (!readSoundInfo(in, info))
        return Result<SoundInfo>::failure("sound info cut short at offset " +
                                          std::to_string(in.offset()));
    return info;
}

Result<ButtonSounds> parseButtonSounds(std::span<const uint8_t> body) {
    ByteReader in(body);
    ButtonSounds sounds;
    for (ButtonSound& sound : sounds.sounds) {
        // A tag may stop after the last state that has a sound.
        if (in.atEnd())
            break;
        sound.soundId = in.u16();
        if (sound.soundId != 0 && in.ok() && !readSoundInfo(in, sound.info))
            in.fail();
        if (!in.ok())
            return Result<ButtonSounds>::failure("DefineButtonSound cut short at offset " +
                                                 std::to_string(in.offset() + 2));
    }
    return sounds;
}

Result<StartSound> parseStartSound(uint16_t tagCode, std::span<const uint8_t> body) {
    ByteReader in(body);
    StartSound start;
    if (tagCode == 89)
        start.className = in.cstring();
    else
        start.characterId = in.u16();
    if (!in.ok() || !readSoundInfo(in, start.info))
        return Result<StartSound>::failure("StartSound cut short at offset " +
                                           std::to_string(in.offset()));
    return start;
}

} // namespace swivio::swf
