#include "swf/sound/movie_sounds.h"

#include <algorithm>
#include <set>

namespace swivio::swf::sound {

namespace {

constexpr uint16_t kStartSound = 15;
constexpr uint16_t kSoundStreamHead = 18;
constexpr uint16_t kSoundStreamBlock = 19;
constexpr uint16_t kSoundStreamHead2 = 45;
constexpr uint16_t kStartSound2 = 89;
// Decoded sounds kept at once; past this, those no voice plays are decoded again when needed.
constexpr std::size_t kMaxCachedBytes = std::size_t(512) << 20;

bool isStreamHead(uint16_t code) { return code == kSoundStreamHead || code == kSoundStreamHead2; }

// Every timeline of the movie: the root's, then each sprite's.
template <typename Visit> void forEachTimeline(const MovieDefinition& movie, Visit visit) {
    visit(movie.root);
    for (const auto& [id, character] : movie.characters) {
        (void)id;
        if (character.sprite)
            visit(character.sprite->timeline);
    }
}

std::optional<SoundStreamHead> streamHeadOf(const Timeline& timeline) {
    for (const TimelineFrame& frame : timeline.frames)
        for (const TagRecord& tag : frame.soundTags)
            if (isStreamHead(tag.code))
                if (auto head = parseSoundStreamHead(tag.body))
                    return *head;
    return std::nullopt;
}

} // namespace

MovieSounds::MovieSounds(std::shared_ptr<const MovieDefinition> movie)
    : m_movie(std::move(movie)), m_library(m_movie) {
    m_hasSound = m_library.size() > 0;
    if (m_movie && !m_hasSound)
        forEachTimeline(*m_movie, [this](const Timeline& timeline) {
            m_hasSound = m_hasSound || streamHeadOf(timeline).has_value();
        });
}

void MovieSounds::warnOnce(const std::string& text) {
    if (m_warnings.size() < 100 && std::find(m_warnings.begin(), m_warnings.end(), text) == m_warnings.end())
        m_warnings.push_back(text);
}

void MovieSounds::trimCache() {
    if (m_cachedBytes <= kMaxCachedBytes)
        return;
    // Only sounds nobody plays now can go; they decode again on their next start.
    std::erase_if(m_sounds, [this](const auto& entry) {
        if (!entry.second || entry.second.use_count() > 1)
            return false;
        m_cachedBytes -= entry.second->samples.size() * sizeof(float);
        return true;
    });
}

std::shared_ptr<const DecodedSound> MovieSounds::decoded(uint16_t soundId) {
    auto it = m_sounds.find(soundId);
    if (it != m_sounds.end())
        return it->second;
    const LibrarySound* sound = m_library.byId(soundId);
    if (!sound)
        return nullptr;
    auto result = decodeDefinition(sound->definition);
    std::shared_ptr<const DecodedSound> decoded;
    if (result) {
        for (const std::string& warning : result.warnings())
            warnOnce("sound " + std::to_string(soundId) + ": " + warning);
        decoded = std::make_shared<const DecodedSound>(std::move(*result));
        m_cachedBytes += decoded->samples.size() * sizeof(float);
    } else {
        warnOnce("sound " + std::to_string(soundId) + " cannot be played: " + result.message());
    }
    trimCache();
    m_sounds[soundId] = decoded;
    return decoded;
}

std::shared_ptr<const TimelineStream> MovieSounds::stream(const Timeline& timeline) {
    auto it = m_streams.find(&timeline);
    if (it != m_streams.end())
        return it->second;
    std::shared_ptr<const TimelineStream> made;
    if (auto head = streamHeadOf(timeline)) {
        auto stream = std::make_shared<TimelineStream>();
        std::vector<std::span<const uint8_t>> blocks;
        stream->frameBlocks.assign(timeline.frames.size(), -1);
        for (std::size_t f = 0; f < timeline.frames.size(); ++f)
            for (const TagRecord& tag : timeline.frames[f].soundTags)
                if (tag.code == kSoundStreamBlock && stream->frameBlocks[f] < 0) {
                    stream->frameBlocks[f] = int(blocks.size());
                    blocks.push_back(tag.body);
                }
        auto decoded = decodeStream(*head, blocks);
        if (decoded) {
            for (const std::string& warning : decoded.warnings())
                warnOnce("stream sound: " + warning);
            stream->decoded = std::move(*decoded);
            made = std::move(stream);
        } else {
            warnOnce("stream sound cannot be played: " + decoded.message());
        }
    }
    m_streams[&timeline] = made;
    return made;
}

void MovieSounds::frameSounds(const Timeline& timeline, int frame, std::span<const TagRecord> tags,
                              uint64_t clipKey, uint64_t scope, bool streamsOnly) {
    bool streamed = false;
    for (const TagRecord& tag : tags) {
        if ((tag.code == kStartSound || tag.code == kStartSound2) && !streamsOnly) {
            auto start = parseStartSound(tag.code, tag.body);
            if (!start)
                continue;
            const LibrarySound* sound = tag.code == kStartSound ? m_library.byId(start->characterId)
                                                                : m_library.byExportName(start->className);
            if (!sound)
                continue;
            EventStart event;
            event.soundId = sound->definition.id;
            event.scope = scope;
            event.info = std::move(start->info);
            // A stop needs no samples; anything else does.
            if (!event.info.syncStop)
                event.sound = decoded(event.soundId);
            m_mixer.startEvent(event);
        } else if (tag.code == kSoundStreamBlock && !streamed) {
            streamed = true;
            std::shared_ptr<const TimelineStream> s = stream(timeline);
            if (!s || frame < 0 || std::size_t(frame) >= s->frameBlocks.size())
                continue;
            const int block = s->frameBlocks[std::size_t(frame)];
            if (block < 0 || std::size_t(block) >= s->decoded.blockStarts.size())
                continue;
            m_mixer.playStream(clipKey, scope,
                               std::shared_ptr<const DecodedSound>(s, &s->decoded.sound),
                               s->decoded.blockStarts[std::size_t(block)]);
        }
    }
}

uint64_t MovieSounds::startSound(uint16_t soundId, const SoundInfo& info, uint64_t scope) {
    EventStart event;
    event.soundId = soundId;
    event.scope = scope;
    event.info = info;
    if (!info.syncStop)
        event.sound = decoded(soundId);
    return m_mixer.startEvent(event);
}

std::string soundFormatName(uint8_t formatCode) {
    switch (SoundFormat(formatCode)) {
    case SoundFormat::PcmNative:
        return "PCM";
    case SoundFormat::Adpcm:
        return "ADPCM";
    case SoundFormat::Mp3:
        return "MP3";
    case SoundFormat::PcmLittleEndian:
        return "PCM little-endian";
    case SoundFormat::Nellymoser16k:
        return "Nellymoser 16 kHz";
    case SoundFormat::Nellymoser8k:
        return "Nellymoser 8 kHz";
    case SoundFormat::Nellymoser:
        return "Nellymoser";
    case SoundFormat::Speex:
        return "Speex";
    }
    return "format " + std::to_string(formatCode);
}

std::vector<SoundSummaryEntry> summarizeSounds(const MovieDefinition& movie) {
    std::vector<SoundSummaryEntry> entries;
    std::set<uint16_t> ids;
    for (const auto& [id, character] : movie.characters)
        if (character.type == CharacterType::Sound)
            ids.insert(id);
    for (uint16_t id : ids) {
        auto parsed = parseSoundCharacter(id, movie.characters.at(id).body);
        if (!parsed)
            continue;
        SoundSummaryEntry entry;
        entry.characterId = id;
        entry.formatCode = parsed->formatCode;
        entry.rate = decodedRate(encodingOf(*parsed));
        entry.stereo = parsed->stereo;
        entry.sixteenBit = parsed->sixteenBit;
        entry.durationMs = soundDurationMs(*parsed);
        entries.push_back(entry);
    }
    const float frameRate = movie.file.frameRate;
    forEachTimeline(movie, [&](const Timeline& timeline) {
        auto head = streamHeadOf(timeline);
        if (!head)
            return;
        SoundSummaryEntry entry;
        entry.stream = true;
        entry.formatCode = head->formatCode;
        entry.rate = decodedRate(encodingOf(*head));
        entry.stereo = head->stereo;
        entry.sixteenBit = head->sixteenBit;
        int last = -1;
        for (std::size_t f = 0; f < timeline.frames.size(); ++f)
            for (const TagRecord& tag : timeline.frames[f].soundTags)
                if (tag.code == kSoundStreamBlock)
                    last = int(f);
        // A stream lasts as long as the frames that carry it.
        if (frameRate > 0)
            entry.durationMs = uint32_t(double(last + 1) * 1000.0 / frameRate + 0.5);
        entries.push_back(entry);
    });
    return entries;
}

} // namespace swivio::swf::sound
