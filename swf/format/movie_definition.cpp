#include "swf/format/movie_definition.h"

#include <algorithm>
#include <map>

#include "swf/format/button_reader.h"
#include "swf/format/shape_reader.h"
#include "swf/format/tag_reader.h"

namespace swivio::swf {

namespace {

enum Tag : uint16_t {
    kEnd = 0,
    kShowFrame = 1,
    kDefineShape = 2,
    kPlaceObject = 4,
    kRemoveObject = 5,
    kDefineBits = 6,
    kDefineButton = 7,
    kJpegTables = 8,
    kSetBackgroundColor = 9,
    kDefineFont = 10,
    kDefineText = 11,
    kDoAction = 12,
    kDefineSound = 14,
    kStartSound = 15,
    kSoundStreamHead = 18,
    kSoundStreamBlock = 19,
    kDefineBitsLossless = 20,
    kDefineBitsJpeg2 = 21,
    kDefineShape2 = 22,
    kDefineButtonSound = 17,
    kDefineButtonCxform = 23,
    kPlaceObject2 = 26,
    kRemoveObject2 = 28,
    kDefineShape3 = 32,
    kDefineText2 = 33,
    kDefineButton2 = 34,
    kDefineBitsJpeg3 = 35,
    kDefineBitsLossless2 = 36,
    kDefineEditText = 37,
    kDefineSprite = 39,
    kFrameLabel = 43,
    kSoundStreamHead2 = 45,
    kDefineMorphShape = 46,
    kDefineFont2 = 48,
    kExportAssets = 56,
    kImportAssets = 57,
    kDoInitAction = 59,
    kDefineVideoStream = 60,
    kVideoFrame = 61,
    kScriptLimits = 65,
    kFileAttributes = 69,
    kPlaceObject3 = 70,
    kDefineFont3 = 75,
    kImportAssets2 = 71,
    kDefineShape4 = 83,
    kDefineMorphShape2 = 84,
    kDefineBinaryData = 87,
    kStartSound2 = 89,
    kDefineBitsJpeg4 = 90,
    kDefineFont4 = 91,
};

class DefinitionReader {
public:
    explicit DefinitionReader(MovieDefinition& movie) : m_movie(movie) {}

    void readRoot() {
        const MovieFile& file = m_movie.file;
        m_movie.root.declaredFrameCount = file.frameCount;
        readTimeline(file.tags(), file.tagsOffset + 8, m_movie.root, true);
        applyButtonCxforms();
    }

private:
    void warn(const TagRecord& tag, const std::string& text) {
        // A hostile movie could hold millions of damaged tags; the first ones tell enough.
        if (m_movie.warnings.size() < 100)
            m_movie.warnings.push_back(tagMessage(tag.code, tag.offset, text));
    }

    // Reads a tag stream into a timeline; definitions are taken only from the root's.
    void readTimeline(std::span<const uint8_t> data, std::size_t base, Timeline& timeline,
                      bool root) {
        TagReader tags(data, base);
        TagRecord tag;
        TimelineFrame frame;
        bool frameHasContent = false;
        while (tags.next(tag)) {
            const std::size_t bodyOffset = base + std::size_t(tag.body.data() - data.data());
            switch (tag.code) {
            case kShowFrame:
                timeline.frames.push_back(std::move(frame));
                frame = TimelineFrame();
                frameHasContent = false;
                continue;
            case kPlaceObject:
            case kPlaceObject2:
            case kPlaceObject3: {
                auto place = parsePlaceObject(tag.code, tag.body, m_movie.file.version);
                if (!place) {
                    warn(tag, place.message());
                    break;
                }
                for (const std::string& w : place.warnings())
                    warn(tag, w);
                DisplayTag d;
                d.kind = DisplayTag::Kind::Place;
                d.place = std::move(*place);
                frame.displayTags.push_back(std::move(d));
                break;
            }
            case kRemoveObject:
            case kRemoveObject2: {
                auto remove = parseRemoveObject(tag.code, tag.body);
                if (!remove) {
                    warn(tag, remove.message());
                    break;
                }
                DisplayTag d;
                d.kind = DisplayTag::Kind::Remove;
                d.remove = *remove;
                frame.displayTags.push_back(std::move(d));
                break;
            }
            case kSetBackgroundColor:
                if (tag.body.size() < 3) {
                    warn(tag, "background colour cut short");
                    break;
                }
                if (root)
                    frame.backgroundColor = Rgba{tag.body[0], tag.body[1], tag.body[2], 255};
                break;
            case kFrameLabel: {
                // SWF 6's named anchor flag may follow the name.
                ByteReader in(tag.body);
                frame.labels.push_back(in.cstring());
                if (frame.labels.size() == 1)
                    frame.label = frame.labels.front();
                break;
            }
            case kDoAction:
                frame.actions.push_back(tag.body);
                frame.actionPositions.push_back(uint32_t(frame.displayTags.size()));
                break;
            case kDoInitAction:
                if (tag.body.size() < 2) {
                    warn(tag, "DoInitAction without its sprite id");
                    break;
                }
                frame.initActions.push_back({loadLe16(tag.body.data()), tag.body.subspan(2)});
                break;
            case kStartSound:
            case kStartSound2:
            case kSoundStreamHead:
            case kSoundStreamHead2:
            case kSoundStreamBlock:
                frame.soundTags.push_back(tag);
                break;
            case kVideoFrame:
                frame.videoFrames.push_back(tag);
                break;
            case kImportAssets:
            case kImportAssets2:
                if (root)
                    readImports(tag, int(timeline.frames.size()));
                continue; // like a definition, it does not make a frame
            default:
                if (root)
                    readDefinition(tag, bodyOffset);
                continue; // definitions do not make a frame
            }
            frameHasContent = true;
        }
        if (tags.damaged() && m_movie.warnings.size() < 100)
            m_movie.warnings.push_back(tags.message());
        // Tags after the last ShowFrame form a frame only when the declared count expects
        // one more; a movie without any ShowFrame still has its first frame.
        if (timeline.frames.empty() ||
            (frameHasContent && int(timeline.frames.size()) < int(timeline.declaredFrameCount)))
            timeline.frames.push_back(std::move(frame));
    }

    bool addCharacter(const TagRecord& tag, CharacterType type, Character c) {
        if (m_movie.characters.count(c.id)) {
            // Flash keeps the first definition of an id.
            warn(tag, "character " + std::to_string(c.id) + " defined twice; kept the first");
            return false;
        }
        c.type = type;
        c.tagCode = tag.code;
        m_movie.characters.emplace(c.id, std::move(c));
        return true;
    }

    void readDefinition(const TagRecord& tag, std::size_t bodyOffset) {
        switch (tag.code) {
        case kJpegTables:
            if (m_movie.jpegTables.empty())
                m_movie.jpegTables = tag.body;
            return;
        case kFileAttributes:
            if (tag.body.size() >= 4)
                m_movie.fileAttributes = loadLe32(tag.body.data());
            return;
        case kExportAssets:
            readExports(tag);
            return;
        case kScriptLimits:
            if (tag.body.size() < 4) {
                warn(tag, "ScriptLimits cut short");
                return;
            }
            m_movie.scriptLimits =
                ScriptLimits{loadLe16(tag.body.data()), loadLe16(tag.body.data() + 2)};
            return;
        case kDefineButtonSound:
            if (tag.body.size() >= 2) {
                auto sounds = parseButtonSounds(tag.body.subspan(2));
                // The first for a button counts, as with its other definitions.
                if (sounds)
                    m_movie.buttonSounds.emplace(loadLe16(tag.body.data()), *sounds);
                else
                    warn(tag, sounds.message());
            }
            return;
        case kDefineButtonCxform:
            if (tag.body.size() >= 2) {
                auto cx = parseButtonCxform(tag.body.subspan(2));
                if (cx)
                    m_buttonCxforms[loadLe16(tag.body.data())] = *cx;
                else
                    warn(tag, cx.message());
            }
            return;
        default:
            break;
        }
        const std::optional<CharacterType> type = characterType(tag.code);
        if (!type)
            return; // not a character: nothing that changes the picture
        if (tag.body.size() < 2) {
            warn(tag, "character tag without an id");
            return;
        }
        Character c;
        c.id = loadLe16(tag.body.data());
        c.body = tag.body.subspan(2);
        switch (*type) {
        case CharacterType::Shape: {
            if (m_edges >= kMaxMovieEdges) {
                warn(tag, "the movie's shapes hold too many edges; shape skipped");
                return;
            }
            ByteReader in(c.body);
            auto shape = parseDefineShape(tag.code, in);
            if (!shape) {
                warn(tag, shape.message());
                return;
            }
            for (const StyleGroup& g : shape->groups)
                m_edges += g.edges.size();
            c.shape = std::make_shared<const Shape>(std::move(*shape));
            break;
        }
        case CharacterType::MorphShape: {
            if (m_edges >= kMaxMovieEdges) {
                warn(tag, "the movie's shapes hold too many edges; morph shape skipped");
                return;
            }
            ByteReader in(c.body);
            auto morph = parseDefineMorphShape(tag.code, in);
            if (!morph) {
                warn(tag, morph.message());
                return;
            }
            m_edges += morph->startEdges.size() + morph->endEdges.size();
            c.morph = std::make_shared<const MorphShape>(std::move(*morph));
            break;
        }
        case CharacterType::Font: {
            if (tag.code == kDefineFont4)
                break; // DefineFont4 holds OpenType data for text fields only
            if (m_edges >= kMaxMovieEdges) {
                warn(tag, "the movie's shapes hold too many edges; font skipped");
                return;
            }
            ByteReader in(c.body);
            auto font = parseDefineFont(tag.code, in);
            if (!font) {
                warn(tag, font.message());
                return;
            }
            for (const Glyph& g : font->glyphs)
                for (const StyleGroup& group : g.shape.groups)
                    m_edges += group.edges.size();
            c.font = std::make_shared<const Font>(std::move(*font));
            break;
        }
        case CharacterType::EditText: {
            ByteReader in(c.body);
            auto edit = parseDefineEditText(in);
            if (!edit) {
                warn(tag, edit.message());
                return;
            }
            c.editText = std::make_shared<const EditText>(std::move(*edit));
            break;
        }
        case CharacterType::Text: {
            ByteReader in(c.body);
            auto text = parseDefineText(tag.code, in);
            if (!text) {
                warn(tag, text.message());
                return;
            }
            c.text = std::make_shared<const StaticText>(std::move(*text));
            break;
        }
        case CharacterType::Sprite: {
            ByteReader in(c.body);
            auto sprite = std::make_shared<SpriteDefinition>();
            sprite->timeline.declaredFrameCount = in.u16();
            if (!in.ok()) {
                warn(tag, "sprite header cut short");
                return;
            }
            readTimeline(c.body.subspan(2), bodyOffset + 4, sprite->timeline, false);
            c.sprite = std::move(sprite);
            break;
        }
        case CharacterType::Button: {
            auto button = parseDefineButton(tag.code, c.body);
            if (!button) {
                warn(tag, button.message());
                return;
            }
            for (const std::string& w : button.warnings())
                warn(tag, w);
            c.button = std::make_shared<const ButtonDefinition>(std::move(*button));
            break;
        }
        case CharacterType::VideoStream: {
            ByteReader in(c.body);
            auto video = std::make_shared<VideoStreamDefinition>();
            video->frameCount = in.u16();
            video->width = in.u16();
            video->height = in.u16();
            const uint8_t flags = in.u8();
            video->deblocking = (flags >> 1) & 0x07;
            video->smoothing = flags & 0x01;
            video->codecId = in.u8();
            if (!in.ok()) {
                warn(tag, "video stream definition cut short");
                return;
            }
            c.video = std::move(video);
            break;
        }
        default:
            // Bitmaps are decoded when first drawn. Sounds, edit texts and binary data stay
            // as read.
            break;
        }
        addCharacter(tag, *type, std::move(c));
    }

    void readExports(const TagRecord& tag) {
        ByteReader in(tag.body);
        const uint16_t count = in.u16();
        for (uint16_t i = 0; i < count; ++i) {
            const uint16_t id = in.u16();
            const std::span<const uint8_t> rest =
                in.data().subspan(std::min(in.offset(), in.size()));
            const auto nul = std::find(rest.begin(), rest.end(), uint8_t(0));
            if (!in.ok() || nul == rest.end()) {
                warn(tag, "export " + std::to_string(i) + " cut short");
                return;
            }
            std::string name = in.cstring();
            m_movie.exports.emplace(std::move(name), id);
        }
    }

    void readImports(const TagRecord& tag, int frame) {
        ByteReader in(tag.body);
        ImportAssets import;
        import.frame = frame;
        if (!readCString(in, import.url)) {
            warn(tag, "import URL cut short");
            return;
        }
        if (tag.code == kImportAssets2)
            in.skip(2); // reserved
        const uint16_t count = in.u16();
        if (!in.ok()) {
            warn(tag, "import count cut short");
            return;
        }
        for (uint16_t i = 0; i < count; ++i) {
            ImportedName name;
            name.id = in.u16();
            if (!in.ok() || !readCString(in, name.name)) {
                warn(tag, "import " + std::to_string(i) + " cut short");
                break; // the names before it still import
            }
            import.names.push_back(std::move(name));
        }
        m_movie.imports.push_back(std::move(import));
    }

    // A NUL-terminated string; false (and nothing taken) when no NUL comes before the end.
    static bool readCString(ByteReader& in, std::string& out) {
        const std::span<const uint8_t> rest = in.data().subspan(std::min(in.offset(), in.size()));
        if (!in.ok() || std::find(rest.begin(), rest.end(), uint8_t(0)) == rest.end())
            return false;
        out = in.cstring();
        return true;
    }

    static std::optional<CharacterType> characterType(uint16_t code) {
        switch (code) {
        case kDefineShape:
        case kDefineShape2:
        case kDefineShape3:
        case kDefineShape4:
            return CharacterType::Shape;
        case kDefineMorphShape:
        case kDefineMorphShape2:
            return CharacterType::MorphShape;
        case kDefineBits:
        case kDefineBitsJpeg2:
        case kDefineBitsJpeg3:
        case kDefineBitsJpeg4:
        case kDefineBitsLossless:
        case kDefineBitsLossless2:
            return CharacterType::Bitmap;
        case kDefineSprite:
            return CharacterType::Sprite;
        case kDefineFont:
        case kDefineFont2:
        case kDefineFont3:
        case kDefineFont4:
            return CharacterType::Font;
        case kDefineText:
        case kDefineText2:
            return CharacterType::Text;
        case kDefineButton:
        case kDefineButton2:
            return CharacterType::Button;
        case kDefineEditText:
            return CharacterType::EditText;
        case kDefineSound:
            return CharacterType::Sound;
        case kDefineVideoStream:
            return CharacterType::VideoStream;
        case kDefineBinaryData:
            return CharacterType::BinaryData;
        default:
            return std::nullopt;
        }
    }

    // DefineButtonCxform may come before or after its button; apply it once all is read.
    void applyButtonCxforms() {
        for (const auto& [id, cx] : m_buttonCxforms) {
            auto it = m_movie.characters.find(id);
            if (it == m_movie.characters.end() || !it->second.button ||
                it->second.tagCode != kDefineButton)
                continue;
            auto button = std::make_shared<ButtonDefinition>(*it->second.button);
            for (ButtonRecord& r : button->records)
                r.colorTransform = cx;
            it->second.button = std::move(button);
        }
    }

    MovieDefinition& m_movie;
    std::size_t m_edges = 0;
    std::map<uint16_t, ColorTransform> m_buttonCxforms;
};

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

const ButtonSound* MovieDefinition::buttonSound(uint16_t buttonId, uint16_t condition) const {
    auto it = buttonSounds.find(buttonId);
    if (it == buttonSounds.end())
        return nullptr;
    // The tag's slots: rolled out, rolled over, pressed, released inside.
    int slot = -1;
    switch (condition) {
    case kButtonOverUpToIdle: slot = 0; break;
    case kButtonIdleToOverUp: slot = 1; break;
    case kButtonOverUpToOverDown: slot = 2; break;
    case kButtonOverDownToOverUp: slot = 3; break;
    default: return nullptr;
    }
    const ButtonSound& sound = it->second.sounds[std::size_t(slot)];
    return sound.soundId != 0 ? &sound : nullptr;
}

const Character* MovieDefinition::exportedCharacter(std::string_view name,
                                                    bool caseSensitive) const {
    auto it = exports.find(std::string(name));
    if (it != exports.end())
        return character(it->second);
    if (caseSensitive)
        return nullptr;
    for (const auto& [exported, id] : exports)
        if (std::equal(exported.begin(), exported.end(), name.begin(), name.end(),
                       [](char a, char b) { return asciiLower(a) == asciiLower(b); }))
            return character(id);
    return nullptr;
}

Result<std::shared_ptr<const MovieDefinition>> readMovieDefinition(std::span<const uint8_t> file) {
    auto movieFile = readMovieFile(file);
    if (!movieFile)
        return Result<std::shared_ptr<const MovieDefinition>>::failure(movieFile.message());
    auto movie = std::make_shared<MovieDefinition>();
    movie->file = std::move(*movieFile);
    if (movie->file.truncated)
        movie->warnings.push_back("the movie ends before its declared length");
    DefinitionReader reader(*movie);
    reader.readRoot();
    return std::shared_ptr<const MovieDefinition>(std::move(movie));
}

} // namespace swivio::swf
