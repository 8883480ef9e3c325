#include "swf/player/timeline_player.h"

#include <algorithm>
#include <map>
#include <optional>

namespace swivio::swf {

namespace {

// Flash Player stops recursion of clips inside clips at a fixed nesting; this bound also
// stops a sprite that places itself.
constexpr int kMaxNesting = 64;
// Bound on the objects alive at once, so that clips that each place several others cannot
// multiply without end.
constexpr int kMaxLiveObjects = 100000;

// A placement as the timeline's tags leave it at some frame.
struct Placement {
    uint16_t characterId = 0;
    int placedAtFrame = 0;
    Matrix matrix;
    ColorTransform colorTransform;
    uint16_t ratio = 0;
    std::string name;
    uint16_t clipDepth = 0;
    BlendMode blendMode = BlendMode::Normal;
    std::vector<Filter> filters;
    bool cacheAsBitmap = false;
    bool visible = true;
    std::optional<uint32_t> opaqueBackground;
    const PlaceObject* tag = nullptr; // the tag that placed it
};

// PlaceObject's properties. Display properties (all but the name and the clip depth) are
// left alone when display is false: Flash does not let the timeline move an object a script
// has transformed.
template <typename Target> void applyProperties(Target& t, const PlaceObject& p, bool display) {
    if (p.name)
        t.name = *p.name;
    if (p.clipDepth)
        t.clipDepth = *p.clipDepth;
    if (!display)
        return;
    if (p.matrix)
        t.matrix = *p.matrix;
    if (p.colorTransform)
        t.colorTransform = *p.colorTransform;
    if (p.ratio)
        t.ratio = *p.ratio;
    if (p.blendMode)
        t.blendMode = *p.blendMode;
    if (p.filters)
        t.filters = *p.filters;
    if (p.cacheAsBitmap)
        t.cacheAsBitmap = *p.cacheAsBitmap;
    if (p.visible)
        t.visible = *p.visible;
    if (p.opaqueBackground)
        t.opaqueBackground = uint32_t(p.opaqueBackground->r) << 16 |
                             uint32_t(p.opaqueBackground->g) << 8 | p.opaqueBackground->b;
}

void applyProperties(DisplayObject& o, const PlaceObject& p) {
    applyProperties(o, p, !o.transformedByScript);
}

template <typename From, typename To> void copyProperties(const From& f, To& t, bool display) {
    t.name = f.name;
    t.clipDepth = f.clipDepth;
    t.placedAtFrame = f.placedAtFrame;
    if (!display)
        return;
    t.matrix = f.matrix;
    t.colorTransform = f.colorTransform;
    t.ratio = f.ratio;
    t.blendMode = f.blendMode;
    t.filters = f.filters;
    t.cacheAsBitmap = f.cacheAsBitmap;
    t.visible = f.visible;
    t.opaqueBackground = f.opaqueBackground;
}

// Shapes, morph shapes, texts and the like can swap characters in place; clips and buttons
// own children and need an instance of their own.
bool hasChildren(const Character* c) {
    return c && (c->type == CharacterType::Sprite || c->type == CharacterType::Button);
}

int nesting(const DisplayObject* o) {
    int n = 0;
    for (; o; o = o->parent())
        ++n;
    return n;
}

} // namespace

TimelinePlayer::TimelinePlayer(std::shared_ptr<const MovieDefinition> movie, SoundHook* soundHook,
                               ScriptHook* scriptHook)
    : m_movie(std::move(movie)), m_root(nullptr, &m_movie->root, nullptr, &m_objects),
      m_soundHook(soundHook), m_scriptHook(scriptHook) {
    auto empty = std::make_shared<SpriteDefinition>();
    empty->timeline.frames.resize(1);
    empty->timeline.declaredFrameCount = 1;
    m_emptyClip.type = CharacterType::Sprite;
    m_emptyClip.sprite = std::move(empty);
    m_pictureCharacter.type = CharacterType::Bitmap;
    m_textFieldCharacter.type = CharacterType::EditText;
    m_textFieldCharacter.editText = std::make_shared<const EditText>();
    enterFrame(m_root, 0, false);
}

TimelinePlayer::~TimelinePlayer() {
    // Levels leave before the registry they are in.
    m_levels.clear();
}

void TimelinePlayer::advance() {
    advanceClip(m_root);
    // A level made during this tick shows its first frame until the next.
    std::vector<DisplayObjectHandle> levels;
    for (auto& [n, level] : m_levels)
        levels.push_back(level->handle());
    for (DisplayObjectHandle handle : levels)
        if (DisplayObject* level = find(handle))
            advanceClip(*level);
}

const MovieDefinition& TimelinePlayer::definitionOf(const DisplayObject& object) const {
    const LoadedMovie* loaded = loadedMovieOf(object);
    return loaded ? *loaded->definition : *m_movie;
}

bool TimelinePlayer::loadInto(DisplayObject& clip, std::shared_ptr<const LoadedMovie> movie) {
    if (!isLiveClip(clip))
        return false;
    for (auto it = clip.children().begin(); it != clip.children().end();)
        it = remove(clip, it);
    const bool root = clip.isRoot();
    if (movie) {
        clip.setContent(root ? nullptr : &movie->character, &movie->definition->root);
    } else {
        clip.setContent(root ? nullptr : &m_emptyClip, &m_emptyClip.sprite->timeline);
    }
    clip.loadedMovie = std::move(movie);
    clip.currentFrame = 0;
    clip.playing = true;
    enterFrame(clip, 0, false);
    return true;
}

DisplayObject* TimelinePlayer::level(int n) {
    if (n == 0)
        return &m_root;
    auto it = m_levels.find(n);
    return it == m_levels.end() ? nullptr : it->second.get();
}

DisplayObject* TimelinePlayer::loadLevel(int n, std::shared_ptr<const LoadedMovie> movie) {
    if (n < 0 || n > kMaxLevel || !movie)
        return nullptr;
    if (DisplayObject* existing = level(n))
        return loadInto(*existing, std::move(movie)) ? existing : nullptr;
    if (m_objects.liveCount() >= kMaxLiveObjects)
        return nullptr;
    auto made =
        std::make_unique<DisplayObject>(nullptr, &movie->definition->root, nullptr, &m_objects);
    made->depth = n;
    made->loadedMovie = std::move(movie);
    DisplayObject* raw = made.get();
    m_levels.emplace(n, std::move(made));
    enterFrame(*raw, 0, false);
    return raw;
}

bool TimelinePlayer::unloadLevel(int n) {
    auto it = m_levels.find(n);
    if (it == m_levels.end())
        return false;
    if (m_scriptHook)
        reportRemoving(*it->second);
    m_levels.erase(it);
    return true;
}

void TimelinePlayer::advanceClip(DisplayObject& clip) {
    // Children first: a clip placed by its parent during this tick then shows its first
    // frame and starts advancing at the next tick. The newest child goes first, whatever
    // its depth (ids grow with each object made).
    std::vector<DisplayObjectHandle> children;
    children.reserve(clip.children().size());
    for (auto& [depth, child] : clip.children())
        children.push_back(child->handle());
    std::sort(children.begin(), children.end(),
              [](DisplayObjectHandle a, DisplayObjectHandle b) { return a.id > b.id; });
    for (DisplayObjectHandle handle : children)
        if (DisplayObject* child = find(handle))
            advanceClip(*child);
    if (!clip.isClip() || !clip.playing)
        return;
    const int count = clip.timeline()->frameCount();
    if (count <= 1)
        return;
    const int next = clip.currentFrame + 1;
    if (next < count) {
        enterFrame(clip, next, false);
        return;
    }
    // Looping to the first frame works as a seek backwards would.
    seekBackwards(clip, 0);
    if (m_soundHook && !clip.timeline()->frames[0].soundTags.empty())
        m_soundHook->frameSounds(clip, 0, clip.timeline()->frames[0].soundTags);
    reportFrame(clip, 0, false);
}

void TimelinePlayer::gotoFrame(DisplayObject& clip, int frame) {
    if (!isLiveClip(clip))
        return;
    frame = std::clamp(frame, 0, clip.timeline()->frameCount() - 1);
    if (frame > clip.currentFrame) {
        for (int f = clip.currentFrame + 1; f <= frame; ++f)
            enterFrame(clip, f, true, f < frame);
    } else if (frame < clip.currentFrame) {
        seekBackwards(clip, frame);
        const TimelineFrame& landed = clip.timeline()->frames[std::size_t(frame)];
        if (m_soundHook && !landed.soundTags.empty())
            m_soundHook->seekedTo(clip, frame, landed.soundTags);
        reportFrame(clip, frame, true);
    }
}

DisplayObject* TimelinePlayer::placeByScript(DisplayObject& parent, uint16_t characterId,
                                             int depth) {
    if (!isLiveClip(parent))
        return nullptr;
    const Character* character = definitionOf(parent).character(characterId);
    if (!character)
        return nullptr;
    std::unique_ptr<DisplayObject> object = instantiate(parent, *character);
    if (!object)
        return nullptr;
    object->depth = depth;
    object->placedByScript = true;
    return insert(parent, std::move(object), nullptr, false);
}

bool TimelinePlayer::removeByScript(DisplayObject& object) {
    if (!isScriptable(object))
        return false;
    DisplayObject& parent = *object.parent();
    remove(parent, parent.children().find(object.depth));
    return true;
}

bool TimelinePlayer::swapDepths(DisplayObject& object, int depth) {
    if (!isScriptable(object))
        return false;
    if (depth == object.depth)
        return true;
    object.placedByScript = true;
    DisplayObject::Children& children = object.parent()->children();
    auto from = children.find(object.depth);
    auto to = children.find(depth);
    std::unique_ptr<DisplayObject> moving = std::move(from->second);
    if (to != children.end()) {
        to->second->depth = object.depth;
        to->second->placedByScript = true;
        from->second = std::move(to->second);
        to->second = std::move(moving);
    } else {
        children.erase(from);
        children.emplace(depth, std::move(moving));
    }
    object.depth = depth;
    return true;
}

DisplayObject* TimelinePlayer::duplicateByScript(DisplayObject& object, const std::string& name,
                                                 int depth) {
    if (!isScriptable(object))
        return nullptr;
    DisplayObject& parent = *object.parent();
    std::unique_ptr<DisplayObject> copy = instantiate(parent, *object.character());
    if (!copy)
        return nullptr;
    copy->depth = depth;
    copy->name = name;
    copy->placedByScript = true;
    copy->matrix = object.matrix;
    copy->colorTransform = object.colorTransform;
    copy->ratio = object.ratio;
    copy->filters = object.filters;
    copy->clipDepth = object.clipDepth;
    copy->blendMode = object.blendMode;
    // The copy may land on the original's depth and replace it: object is not used after.
    return insert(parent, std::move(copy), nullptr, false);
}

DisplayObject* TimelinePlayer::createEmptyClip(DisplayObject& parent, const std::string& name,
                                               int depth) {
    if (!isLiveClip(parent))
        return nullptr;
    std::unique_ptr<DisplayObject> clip = instantiate(parent, m_emptyClip);
    if (!clip)
        return nullptr;
    clip->depth = depth;
    clip->name = name;
    clip->placedByScript = true;
    return insert(parent, std::move(clip), nullptr, false);
}

DisplayObject* TimelinePlayer::attachPicture(DisplayObject& parent,
                                             std::shared_ptr<ScriptPicture> picture, int depth) {
    if (!isLiveClip(parent))
        return nullptr;
    std::unique_ptr<DisplayObject> object = instantiate(parent, m_pictureCharacter);
    if (!object)
        return nullptr;
    object->depth = depth;
    object->picture = std::move(picture);
    object->placedByScript = true;
    return insert(parent, std::move(object), nullptr, false);
}

bool TimelinePlayer::isLiveClip(const DisplayObject& clip) const {
    return clip.isClip() && find(clip.handle()) == &clip;
}

bool TimelinePlayer::isScriptable(const DisplayObject& object) const {
    return !object.isRoot() && find(object.handle()) == &object && object.parent() &&
           object.parent()->isClip();
}

void TimelinePlayer::enterFrame(DisplayObject& clip, int frame, bool bySeek, bool passedOver) {
    const TimelineFrame& f = clip.timeline()->frames[std::size_t(frame)];
    clip.currentFrame = frame;
    for (const DisplayTag& tag : f.displayTags) {
        if (tag.kind == DisplayTag::Kind::Place) {
            applyPlace(clip, tag.place, frame, bySeek);
            continue;
        }
        auto it = clip.children().find(tag.remove.depth);
        if (it != clip.children().end())
            remove(clip, it);
    }
    if (&clip == &m_root && f.backgroundColor)
        m_background = *f.backgroundColor;
    if (!bySeek && m_soundHook && !f.soundTags.empty())
        m_soundHook->frameSounds(clip, frame, f.soundTags);
    else if (bySeek && !passedOver && m_soundHook && !f.soundTags.empty())
        m_soundHook->seekedTo(clip, frame, f.soundTags);
    if (!passedOver)
        reportFrame(clip, frame, bySeek);
}

void TimelinePlayer::applyPlace(DisplayObject& clip, const PlaceObject& place, int frame,
                                bool bySeek) {
    const Character* character =
        place.characterId ? definitionOf(clip).character(*place.characterId) : nullptr;
    if (!place.move) {
        if (!character)
            return; // nothing to place (a missing character shows nothing)
        std::unique_ptr<DisplayObject> object = instantiate(clip, *character);
        if (!object)
            return;
        object->depth = place.depth;
        object->placedAtFrame = frame;
        applyProperties(*object, place, true);
        insert(clip, std::move(object), &place, bySeek);
        return;
    }
    DisplayObject* existing = clip.childAtDepth(place.depth);
    // An object a script placed or moved there is not the timeline's to change.
    if (!existing || existing->placedByScript)
        return;
    if (character && character != existing->character())
        existing = replaceCharacter(clip, *existing, *character, bySeek);
    if (existing)
        applyProperties(*existing, place);
}

DisplayObject* TimelinePlayer::replaceCharacter(DisplayObject& clip, DisplayObject& existing,
                                                const Character& character, bool bySeek) {
    if (!hasChildren(existing.character()) && !hasChildren(&character)) {
        existing.setCharacter(&character);
        existing.morphShape.reset();
        existing.morphRatio = -1;
        return &existing;
    }
    std::unique_ptr<DisplayObject> object = instantiate(clip, character);
    if (!object)
        return nullptr;
    object->depth = existing.depth;
    copyProperties(existing, *object, true);
    // The new instance takes the old one's place, script changes included.
    object->transformedByScript = existing.transformedByScript;
    return insert(clip, std::move(object), nullptr, bySeek);
}

std::unique_ptr<DisplayObject> TimelinePlayer::instantiate(DisplayObject& parent,
                                                           const Character& character) {
    if (nesting(&parent) >= kMaxNesting || m_objects.liveCount() >= kMaxLiveObjects)
        return nullptr;
    const Timeline* timeline = character.sprite ? &character.sprite->timeline : nullptr;
    auto object = std::make_unique<DisplayObject>(&character, timeline, &parent, &m_objects);
    if (character.editText)
        object->editField = makeEditField(*character.editText);
    return object;
}

std::shared_ptr<text::EditField> TimelinePlayer::makeEditField(const EditText& definition) {
    if (!m_fonts) {
        std::vector<std::shared_ptr<const Font>> fonts;
        for (const auto& [id, c] : m_movie->characters)
            if (c.font)
                fonts.push_back(c.font);
        m_fonts = std::make_shared<const text::EmbeddedFontSet>(std::move(fonts));
    }
    std::string fontName;
    bool bold = false, italic = false;
    if (definition.hasFont)
        if (const Character* c = m_movie->character(definition.fontId); c && c->font) {
            fontName = c->font->name;
            bold = c->font->bold;
            italic = c->font->italic;
        }
    if (definition.hasFontClass && fontName.empty())
        fontName = definition.fontClass;
    auto field = std::make_shared<text::EditField>(definition, std::move(fontName), m_fonts,
                                                   bold, italic);
    if (m_movie->file.version < 8) {
        field->legacyHtml = true;
        if (definition.html && definition.hasText)
            field->setHtmlText(definition.initialText);
        field->changed();
    }
    return field;
}

DisplayObject* TimelinePlayer::createTextField(DisplayObject& parent, const std::string& name,
                                               int depth, int32_t x, int32_t y, int32_t width,
                                               int32_t height) {
    if (!isLiveClip(parent))
        return nullptr;
    std::unique_ptr<DisplayObject> field = instantiate(parent, m_textFieldCharacter);
    if (!field)
        return nullptr;
    // A negative size reaches back from the field's position.
    field->editField->bounds = {std::min(0, width), std::max(0, width), std::min(0, height),
                                std::max(0, height)};
    field->editField->changed();
    field->matrix.tx = x;
    field->matrix.ty = y;
    field->depth = depth;
    field->name = name;
    field->placedByScript = true;
    return insert(parent, std::move(field), nullptr, false);
}

DisplayObject* TimelinePlayer::insert(DisplayObject& parent, std::unique_ptr<DisplayObject> object,
                                      const PlaceObject* place, bool bySeek) {
    DisplayObject::Children& children = parent.children();
    DisplayObject* raw = object.get();
    auto it = children.find(raw->depth);
    if (it != children.end()) {
        // Replaced in place: a seek backwards walks the children while it replaces them.
        if (m_scriptHook)
            reportRemoving(*it->second);
        it->second = std::move(object);
    } else {
        children.emplace(raw->depth, std::move(object));
    }
    if (m_scriptHook)
        m_scriptHook->objectPlaced(*raw, place);
    if (raw->isClip())
        enterFrame(*raw, 0, bySeek); // a sprite shows its first frame at once
    else if (raw->character() && raw->character()->button)
        buildButtonState(*raw, bySeek);
    return raw;
}

DisplayObject::Children::iterator TimelinePlayer::remove(DisplayObject& parent,
                                                         DisplayObject::Children::iterator it) {
    if (m_scriptHook)
        reportRemoving(*it->second);
    return parent.children().erase(it);
}

void TimelinePlayer::reportRemoving(DisplayObject& object) {
    for (auto& [depth, child] : object.children())
        reportRemoving(*child);
    m_scriptHook->objectRemoving(object);
}

void TimelinePlayer::reportFrame(DisplayObject& clip, int frame, bool bySeek) {
    if (m_scriptHook)
        m_scriptHook->frameEntered(clip, frame, bySeek);
}

void TimelinePlayer::buildButtonState(DisplayObject& button, bool bySeek) {
    // A button at rest shows its up state.
    placeButtonParts(button, ButtonState::Up, bySeek);
}

void TimelinePlayer::placeButtonParts(DisplayObject& button, ButtonState state, bool bySeek) {
    for (const ButtonRecord& r : button.character()->button->records) {
        const bool shown = state == ButtonState::Up     ? r.up
                           : state == ButtonState::Over ? r.over
                                                        : r.down;
        if (!shown || button.childAtDepth(r.depth))
            continue;
        const Character* c = definitionOf(button).character(r.characterId);
        if (!c)
            continue;
        std::unique_ptr<DisplayObject> part = instantiate(button, *c);
        if (!part)
            continue;
        part->depth = r.depth;
        part->matrix = r.matrix;
        part->colorTransform = r.colorTransform;
        part->blendMode = r.blendMode;
        part->filters = r.filters;
        insert(button, std::move(part), nullptr, bySeek);
    }
}

void TimelinePlayer::showButtonState(DisplayObject& button, ButtonState state) {
    if (!button.character() || !button.character()->button || !m_objects.find(button.handle()))
        return;
    const auto& records = button.character()->button->records;
    auto partOf = [&](int depth, uint16_t id) {
        for (const ButtonRecord& r : records) {
            const bool shown = state == ButtonState::Up     ? r.up
                               : state == ButtonState::Over ? r.over
                                                            : r.down;
            if (shown && r.depth == depth && r.characterId == id)
                return &r;
        }
        return static_cast<const ButtonRecord*>(nullptr);
    };
    for (auto it = button.children().begin(); it != button.children().end();) {
        if (const ButtonRecord* r = partOf(it->first, it->second->characterId())) {
            it->second->matrix = r->matrix;
            it->second->colorTransform = r->colorTransform;
            ++it;
        } else {
            it = remove(button, it);
        }
    }
    placeButtonParts(button, state, false);
}

void TimelinePlayer::seekBackwards(DisplayObject& clip, int target) {
    // Where the tags leave every depth at the target frame.
    std::map<int, Placement> wanted;
    std::optional<Rgba> background;
    const MovieDefinition& movie = definitionOf(clip);
    const Timeline& timeline = *clip.timeline();
    for (int f = 0; f <= target; ++f) {
        const TimelineFrame& frame = timeline.frames[std::size_t(f)];
        if (frame.backgroundColor)
            background = frame.backgroundColor;
        for (const DisplayTag& tag : frame.displayTags) {
            if (tag.kind == DisplayTag::Kind::Remove) {
                wanted.erase(tag.remove.depth);
                continue;
            }
            const PlaceObject& p = tag.place;
            if (!p.move) {
                if (!p.characterId || !movie.character(*p.characterId))
                    continue;
                Placement placement;
                placement.characterId = *p.characterId;
                placement.placedAtFrame = f;
                placement.tag = &p;
                applyProperties(placement, p, true);
                wanted[p.depth] = std::move(placement);
                continue;
            }
            auto it = wanted.find(p.depth);
            if (it == wanted.end())
                continue;
            if (p.characterId && movie.character(*p.characterId))
                it->second.characterId = *p.characterId;
            applyProperties(it->second, p, true);
        }
    }

    // Flash rebuilds the list as the tags leave it at the target frame, keeping what would
    // have lived through the frames in between: an object placed by the same tag stays, with
    // its own frame and with the target frame's properties unless a script has transformed
    // it. Other objects at the timeline's depths go, those made by scripts too, and what is
    // missing is placed anew. Objects at the scripts' depths stay unless the tags place over
    // them.
    DisplayObject::Children& children = clip.children();
    for (auto it = children.begin(); it != children.end();) {
        DisplayObject* object = it->second.get();
        auto w = wanted.find(it->first);
        const bool samePlacement = w != wanted.end() && !object->placedByScript &&
                                   w->second.placedAtFrame == object->placedAtFrame;
        // An object of the timeline's that a script moved to a depth the tags fill at the
        // target frame keeps it: the tag finds the depth taken and places nothing. One a
        // script made goes, as below.
        if (w != wanted.end() && object->placedByScript && object->placedAtFrame >= 0 &&
            it->first < kFirstScriptDepth) {
            wanted.erase(w);
            ++it;
            continue;
        }
        if (!samePlacement) {
            if (it->first >= kFirstScriptDepth && w == wanted.end())
                ++it;
            else
                it = remove(clip, it);
            continue;
        }
        const Character* character = movie.character(w->second.characterId);
        if (character != object->character())
            object = replaceCharacter(clip, *object, *character, true);
        if (object)
            copyProperties(w->second, *object, !object->transformedByScript);
        wanted.erase(w);
        ++it;
    }
    for (auto& [depth, placement] : wanted) {
        std::unique_ptr<DisplayObject> object =
            instantiate(clip, *movie.character(placement.characterId));
        if (!object)
            continue;
        object->depth = depth;
        copyProperties(placement, *object, true);
        insert(clip, std::move(object), placement.tag, true);
    }
    clip.currentFrame = target;
    if (&clip == &m_root && background)
        m_background = *background;
}

} // namespace swivio::swf
