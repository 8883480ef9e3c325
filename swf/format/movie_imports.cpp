#include "swf/format/movie_imports.h"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <vector>

#include "base/byte_reader.h"
#include "swf/format/records.h"

namespace swivio::swf {

namespace {

constexpr uint16_t kNoBitmap = 65535; // a fill's "no bitmap" id: never a reference
constexpr uint16_t kHighestId = 65534;
constexpr uint16_t kDefineBitsCode = 6;
constexpr uint16_t kStartSoundCode = 15;
constexpr uint16_t kVideoFrameCode = 61;
constexpr uint8_t kEditTextHasFont = 0x01;

bool isBitmapFill(const FillStyle& fill) {
    const uint8_t t = uint8_t(fill.type);
    return t >= 0x40 && t <= 0x43 && fill.bitmapId != kNoBitmap;
}

class ImportLinker {
public:
    explicit ImportLinker(MovieDefinition& movie) : m_movie(movie) {
        int highest = -1;
        for (const auto& [id, c] : movie.characters)
            highest = std::max(highest, int(id));
        for (const ImportAssets& import : movie.imports)
            for (const ImportedName& name : import.names)
                highest = std::max(highest, int(name.id));
        m_nextId = highest + 1;
    }

    void link(const ImportAssets& import, const std::shared_ptr<const MovieDefinition>& source) {
        Source& s = m_sources[source.get()];
        if (!s.kept) {
            m_movie.importedMovies.push_back(source);
            s.kept = true;
        }
        m_source = source.get();
        m_ids = &s.ids;
        const bool caseSensitive = source->file.version >= 7;
        for (const ImportedName& name : import.names) {
            const Character* exported = source->exportedCharacter(name.name, caseSensitive);
            if (!exported) {
                warn(import.url + " exports nothing named \"" + name.name + "\"");
                continue;
            }
            if (m_movie.characters.count(name.id)) {
                warn("import of \"" + name.name + "\" as character " + std::to_string(name.id) +
                     ": the id is taken; kept the movie's own");
                continue;
            }
            auto mapped = s.ids.find(exported->id);
            if (mapped == s.ids.end()) {
                s.ids.emplace(exported->id, name.id);
                m_queue.push_back(exported->id);
                copyQueued();
            } else if (auto copy = m_movie.characters.find(mapped->second);
                       copy != m_movie.characters.end()) {
                // Already copied (by another name or as a part): the same data, this id too.
                Character alias = copy->second;
                alias.id = name.id;
                m_movie.characters.emplace(name.id, std::move(alias));
            }
            m_movie.exports.emplace(name.name, name.id);
        }
        addInitActions(import, s);
    }

private:
    struct Source {
        std::unordered_map<uint16_t, uint16_t> ids; // the source's id to the copy's
        std::set<uint16_t> initActionsAdded;        // by the source's sprite id
        bool kept = false;
    };

    void warn(const std::string& text) {
        if (m_movie.warnings.size() < 100)
            m_movie.warnings.push_back("ImportAssets: " + text);
    }

    // The copy's id for a character of the source, queueing its copy when first seen. A
    // reference to a character the source lacks gets an id that stays undefined here too.
    uint16_t mapId(uint16_t sourceId) {
        auto it = m_ids->find(sourceId);
        if (it != m_ids->end())
            return it->second;
        if (m_nextId > kHighestId) {
            if (!m_outOfIds)
                warn("no character ids left for the imported characters");
            m_outOfIds = true;
            return kNoBitmap;
        }
        const uint16_t id = uint16_t(m_nextId++);
        m_ids->emplace(sourceId, id);
        m_queue.push_back(sourceId);
        return id;
    }

    void mapFill(FillStyle& fill) {
        if (isBitmapFill(fill))
            fill.bitmapId = mapId(fill.bitmapId);
    }

    // A copy of body with the 16-bit id at offset `at` replaced, owned by the movie.
    std::span<const uint8_t> rewriteId(std::span<const uint8_t> body, std::size_t at) {
        if (at + 2 > body.size())
            return body;
        auto owned = std::make_shared<std::vector<uint8_t>>(body.begin(), body.end());
        const uint16_t id = mapId(loadLe16(owned->data() + at));
        (*owned)[at] = uint8_t(id);
        (*owned)[at + 1] = uint8_t(id >> 8);
        m_movie.ownedBodies.push_back(owned);
        return *owned;
    }

    void copyQueued() {
        while (!m_queue.empty()) {
            const uint16_t sourceId = m_queue.back();
            m_queue.pop_back();
            const Character* c = m_source->character(sourceId);
            if (!c)
                continue;
            Character copy = *c;
            copy.id = m_ids->at(sourceId);
            rewrite(copy);
            m_movie.characters.emplace(copy.id, std::move(copy));
        }
    }

    void rewrite(Character& c) {
        if (c.shape) {
            const auto& groups = c.shape->groups;
            const bool bitmaps = std::any_of(groups.begin(), groups.end(), [](const auto& g) {
                return std::any_of(g.fills.begin(), g.fills.end(), isBitmapFill) ||
                       std::any_of(g.lines.begin(), g.lines.end(), [](const LineStyle& l) {
                           return l.hasFill && isBitmapFill(l.fill);
                       });
            });
            if (bitmaps) {
                auto shape = std::make_shared<Shape>(*c.shape);
                for (StyleGroup& g : shape->groups) {
                    for (FillStyle& f : g.fills)
                        mapFill(f);
                    for (LineStyle& l : g.lines)
                        if (l.hasFill)
                            mapFill(l.fill);
                }
                c.shape = std::move(shape);
            }
        }
        if (c.morph) {
            auto morph = std::make_shared<MorphShape>(*c.morph);
            // Both ends of a morph style share the bitmap.
            for (MorphFillStyle& f : morph->fills)
                if (isBitmapFill(f.start))
                    f.start.bitmapId = f.end.bitmapId = mapId(f.start.bitmapId);
            for (MorphLineStyle& l : morph->lines)
                if (l.start.hasFill && isBitmapFill(l.start.fill))
                    l.start.fill.bitmapId = l.end.fill.bitmapId = mapId(l.start.fill.bitmapId);
            c.morph = std::move(morph);
        }
        if (c.sprite) {
            auto sprite = std::make_shared<SpriteDefinition>(*c.sprite);
            for (TimelineFrame& frame : sprite->timeline.frames) {
                for (DisplayTag& d : frame.displayTags)
                    if (d.kind == DisplayTag::Kind::Place && d.place.characterId)
                        d.place.characterId = mapId(*d.place.characterId);
                for (InitAction& init : frame.initActions)
                    init.spriteId = mapId(init.spriteId);
                for (TagRecord& sound : frame.soundTags)
                    if (sound.code == kStartSoundCode)
                        sound.body = rewriteId(sound.body, 0);
                for (TagRecord& video : frame.videoFrames)
                    if (video.code == kVideoFrameCode)
                        video.body = rewriteId(video.body, 0);
            }
            c.sprite = std::move(sprite);
        }
        if (c.button) {
            auto button = std::make_shared<ButtonDefinition>(*c.button);
            for (ButtonRecord& r : button->records)
                r.characterId = mapId(r.characterId);
            c.button = std::move(button);
        }
        if (c.text) {
            auto text = std::make_shared<StaticText>(*c.text);
            for (TextRecord& r : text->records)
                if (r.hasFont)
                    r.fontId = mapId(r.fontId);
            c.text = std::move(text);
        }
        if (c.type == CharacterType::EditText) {
            // The font id follows the bounds and the two flag bytes.
            ByteReader in(c.body);
            readRect(in);
            const uint8_t flags = in.u8();
            in.u8();
            if (in.ok() && (flags & kEditTextHasFont))
                c.body = rewriteId(c.body, in.offset());
            if (c.editText && c.editText->hasFont) {
                auto edit = std::make_shared<EditText>(*c.editText);
                edit->fontId = mapId(edit->fontId);
                c.editText = std::move(edit);
            }
        }
        if (c.type == CharacterType::Bitmap && c.tagCode == kDefineBitsCode) {
            // DefineBits holds no tables of its own: it decodes with the movie's JPEGTables.
            const auto& tables = m_source->jpegTables;
            if (m_movie.jpegTables.empty())
                m_movie.jpegTables = tables;
            else if (!std::equal(tables.begin(), tables.end(), m_movie.jpegTables.begin(),
                                 m_movie.jpegTables.end()))
                warn("an imported JPEG bitmap needs other JPEG tables than the movie's");
        }
    }

    // The source's root DoInitActions for the sprites copied run in the importing frame.
    void addInitActions(const ImportAssets& import, Source& s) {
        std::vector<TimelineFrame>& frames = m_movie.root.frames;
        if (frames.empty())
            return;
        TimelineFrame& into = frames[std::clamp(import.frame, 0, int(frames.size()) - 1)];
        for (const TimelineFrame& frame : m_source->root.frames)
            for (const InitAction& init : frame.initActions) {
                auto it = s.ids.find(init.spriteId);
                if (it == s.ids.end() || !m_movie.characters.count(it->second) ||
                    !s.initActionsAdded.insert(init.spriteId).second)
                    continue;
                into.initActions.push_back({it->second, init.actions});
            }
    }

    MovieDefinition& m_movie;
    int m_nextId = 0;
    bool m_outOfIds = false;
    std::unordered_map<const MovieDefinition*, Source> m_sources;
    const MovieDefinition* m_source = nullptr;
    std::unordered_map<uint16_t, uint16_t>* m_ids = nullptr;
    std::vector<uint16_t> m_queue;
};

} // namespace

void linkImports(MovieDefinition& movie,
                 std::span<const std::shared_ptr<const MovieDefinition>> sources) {
    ImportLinker linker(movie);
    // A copy: linking adds to the movie, and the list of imports must not move meanwhile.
    const std::vector<ImportAssets> imports = movie.imports;
    for (std::size_t i = 0; i < imports.size() && i < sources.size(); ++i)
        if (sources[i])
            linker.link(imports[i], sources[i]);
}

} // namespace swivio::swf
