#include "swf/player/render_emitter.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <map>
#include <utility>

#include "swf/player/drawing.h"
#include "swf/player/video_picture.h"

namespace swivio::swf {

// Glyph shapes by font and index (drawn in white and coloured by a colour transform, so one
// shape serves every colour), and each text character's laid-out glyphs.
struct RenderEmitter::TextCache : FontLookup {
    struct Placed {
        std::shared_ptr<const Shape> shape;
        Matrix matrix;
        ColorTransform color;
    };

    explicit TextCache(const MovieDefinition& movieDefinition) : movie(movieDefinition) {}

    const Font* font(uint16_t id) const override {
        const Character* c = movie.character(id);
        return c ? c->font.get() : nullptr;
    }

    const std::vector<Placed>& layout(const Character& text) {
        auto it = texts.find(text.id);
        if (it != texts.end())
            return it->second;
        std::vector<Placed> placed;
        for (const PositionedGlyph& g : layoutText(*text.text, *this)) {
            std::shared_ptr<const Shape>& shape = glyphs[{g.fontId, g.glyphIndex}];
            if (!shape)
                shape = std::make_shared<const Shape>(
                    glyphShape(*font(g.fontId), g.glyphIndex, Rgba{255, 255, 255, 255}));
            ColorTransform color;
            color.mr = color.mg = color.mb = color.ma = 0;
            color.ar = g.color.r;
            color.ag = g.color.g;
            color.ab = g.color.b;
            color.aa = g.color.a;
            placed.push_back({shape, g.matrix, color});
        }
        return texts.emplace(text.id, std::move(placed)).first->second;
    }

    const MovieDefinition& movie;
    std::map<std::pair<uint16_t, uint32_t>, std::shared_ptr<const Shape>> glyphs;
    std::map<uint16_t, std::vector<Placed>> texts;
};

struct RenderEmitter::LoadedCaches {
    std::shared_ptr<const LoadedMovie> movie;
    TextCache text;
    std::unordered_map<uint16_t, std::shared_ptr<const Shape>> bitmapShapes;
    explicit LoadedCaches(std::shared_ptr<const LoadedMovie> m)
        : movie(std::move(m)), text(*movie->definition) {}
};

namespace {

// The matrix from an object's space to the root's parent's, as emit() composes it.
Matrix treeMatrix(const DisplayObject& object) {
    Matrix m = object.matrix;
    for (const DisplayObject* p = object.parent(); p; p = p->parent())
        m = p->matrix * m;
    return m;
}

// The box of what `commands` draw, in the space that `toStage` maps onto the stage; none
// when they draw nothing or the space is flat.
std::optional<Rect> localBox(const RenderCommandList& commands, const Matrix& toStage) {
    const double det = toStage.a * toStage.d - toStage.b * toStage.c;
    if (!std::isfinite(det) || std::abs(det) < 1e-12)
        return std::nullopt;
    const Matrix inverse{toStage.d / det,
                         -toStage.b / det,
                         -toStage.c / det,
                         toStage.a / det,
                         (toStage.c * toStage.ty - toStage.d * toStage.tx) / det,
                         (toStage.b * toStage.tx - toStage.a * toStage.ty) / det};
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (const RenderCommand& c : commands) {
        if (c.kind != RenderCommand::Kind::DrawShape || !c.shape)
            continue;
        const Rect& r = c.shape->bounds;
        if (r.xMax <= r.xMin || r.yMax <= r.yMin)
            continue;
        const Matrix m = inverse * c.matrix;
        const double xs[] = {double(r.xMin), double(r.xMax)};
        const double ys[] = {double(r.yMin), double(r.yMax)};
        for (double x : xs)
            for (double y : ys) {
                x0 = std::min(x0, m.mapX(x, y));
                x1 = std::max(x1, m.mapX(x, y));
                y0 = std::min(y0, m.mapY(x, y));
                y1 = std::max(y1, m.mapY(x, y));
            }
    }
    if (!(x0 < x1 && y0 < y1) || std::abs(x0) > 1e9 || std::abs(y0) > 1e9 ||
        std::abs(x1) > 1e9 || std::abs(y1) > 1e9)
        return std::nullopt;
    return Rect{int32_t(std::floor(x0)), int32_t(std::ceil(x1)), int32_t(std::floor(y0)),
                int32_t(std::ceil(y1))};
}

RenderCommand marker(RenderCommand::Kind kind) {
    RenderCommand c;
    c.kind = kind;
    return c;
}

} // namespace

RenderEmitter::RenderEmitter(std::shared_ptr<const MovieDefinition> movie,
                             const BitmapLookup& bitmaps)
    : m_movie(std::move(movie)), m_bitmaps(bitmaps), m_text(std::make_unique<TextCache>(*m_movie)) {
}

RenderEmitter::~RenderEmitter() = default;

void RenderEmitter::emit(DisplayObject& root, RenderCommandList& out) {
    out.clear();
    // Caches of movies no longer loaded anywhere go.
    std::erase_if(m_loaded, [](const auto& c) { return c->movie.use_count() == 1; });
    append(root, out);
}

void RenderEmitter::append(DisplayObject& root, RenderCommandList& out) {
    Context context;
    context.matrix = root.matrix;
    context.colorTransform = root.colorTransform;
    context.source = root.loadedMovie.get();
    if (root.loadedMovie)
        remember(root.loadedMovie);
    if (root.drawing)
        drawShape(root.drawing->shape(), context, out);
    emitChildren(root, context, out);
}

RenderEmitter::LoadedCaches&
RenderEmitter::remember(const std::shared_ptr<const LoadedMovie>& movie) {
    for (auto& c : m_loaded)
        if (c->movie == movie)
            return *c;
    m_loaded.push_back(std::make_unique<LoadedCaches>(movie));
    return *m_loaded.back();
}

RenderEmitter::LoadedCaches& RenderEmitter::cachesOf(const LoadedMovie& movie) {
    // Every source in a context was remembered on the way down.
    for (auto& c : m_loaded)
        if (c->movie.get() == &movie)
            return *c;
    return *m_loaded.front();
}

RenderEmitter::TextCache& RenderEmitter::textCache(const Context& context) {
    return context.source ? cachesOf(*context.source).text : *m_text;
}

void RenderEmitter::emitChildren(DisplayObject& parent, const Context& context,
                                 RenderCommandList& out) {
    // Clip depths of the masks in force, innermost last.
    int maskStack[64];
    int masks = 0;
    for (auto& [depth, child] : parent.children()) {
        while (masks > 0 && depth > maskStack[masks - 1]) {
            if (!context.asMask)
                out.push_back(marker(RenderCommand::Kind::PopMask));
            --masks;
        }
        if (child->clipDepth > 0) {
            // Inside a mask's own content, masks are left out: only coverage counts there.
            if (context.asMask || masks == 64)
                continue;
            out.push_back(marker(RenderCommand::Kind::PushMask));
            Context maskContext = context;
            maskContext.asMask = true;
            emitObject(*child, maskContext, out);
            out.push_back(marker(RenderCommand::Kind::BeginMasked));
            // A mask cannot reach past the one it lies inside.
            const int reach = masks > 0 ? std::min<int>(child->clipDepth, maskStack[masks - 1])
                                        : child->clipDepth;
            maskStack[masks++] = reach;
            continue;
        }
        if (!child->visible || child->isActiveScriptMask())
            continue;
        if (DisplayObject* mask = context.asMask ? nullptr : child->activeScriptMask()) {
            // A mask set by script draws in its own place in the tree, wherever that is.
            out.push_back(marker(RenderCommand::Kind::PushMask));
            Context maskContext;
            maskContext.asMask = true;
            maskContext.matrix = mask->parent() ? treeMatrix(*mask->parent()) : Matrix{};
            emitObject(*mask, maskContext, out);
            out.push_back(marker(RenderCommand::Kind::BeginMasked));
            emitObject(*child, context, out);
            out.push_back(marker(RenderCommand::Kind::PopMask));
            continue;
        }
        emitObject(*child, context, out);
    }
    if (!context.asMask)
        for (; masks > 0; --masks)
            out.push_back(marker(RenderCommand::Kind::PopMask));
}

void RenderEmitter::emitObject(DisplayObject& object, const Context& context,
                               RenderCommandList& out) {
    Context inner = context;
    if (object.loadedMovie) {
        inner.source = object.loadedMovie.get();
        remember(object.loadedMovie);
    }
    inner.matrix = context.matrix * object.matrix;
    inner.colorTransform = context.colorTransform * object.colorTransform;
    const bool layered =
        !context.asMask && (object.blendMode != BlendMode::Normal || !object.filters.empty());
    if (layered) {
        RenderCommand push;
        push.kind = RenderCommand::Kind::PushLayer;
        push.blendMode = object.blendMode;
        push.filters = object.filters;
        out.push_back(std::move(push));
    }
    const std::size_t firstCommand = out.size();
    if (object.scrollRect || object.opaqueBackground)
        emitFramedContent(object, inner, out);
    else
        emitContent(object, inner, out);
    if (object.cacheAsBitmap && !context.asMask) {
        // Drawn as a bitmap at whole pixels; an object cached inside keeps its own origin.
        for (std::size_t i = firstCommand; i < out.size(); ++i) {
            RenderCommand& c = out[i];
            if (c.kind == RenderCommand::Kind::DrawShape && !c.pixelAligned) {
                c.pixelAligned = true;
                c.alignX = inner.matrix.tx;
                c.alignY = inner.matrix.ty;
            }
        }
    }
    if (layered)
        out.push_back(marker(RenderCommand::Kind::PopLayer));
}

void RenderEmitter::emitFramedContent(DisplayObject& object, const Context& context,
                                      RenderCommandList& out) {
    Context inner = context;
    std::optional<Rect> box;
    if (object.scrollRect) {
        const Rect& r = *object.scrollRect;
        if (r.xMax <= r.xMin || r.yMax <= r.yMin)
            return; // an empty window shows nothing
        // The window's corner lands on the object's origin.
        inner.matrix = context.matrix * Matrix{1, 0, 0, 1, -double(r.xMin), -double(r.yMin)};
        box = Rect{0, r.xMax - r.xMin, 0, r.yMax - r.yMin};
    }
    RenderCommandList content;
    emitContent(object, inner, content);
    if (!box)
        box = localBox(content, context.matrix);
    if (object.opaqueBackground && box && !context.asMask) {
        const uint32_t c = *object.opaqueBackground;
        const Rgba fill{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255};
        drawShape(boxShape(*box, &fill, nullptr), context, out);
    }
    if (!object.scrollRect || context.asMask) {
        out.insert(out.end(), std::make_move_iterator(content.begin()),
                   std::make_move_iterator(content.end()));
        return;
    }
    out.push_back(marker(RenderCommand::Kind::PushMask));
    const Rgba white{255, 255, 255, 255};
    drawShape(boxShape(*box, &white, nullptr), context, out);
    out.push_back(marker(RenderCommand::Kind::BeginMasked));
    out.insert(out.end(), std::make_move_iterator(content.begin()),
               std::make_move_iterator(content.end()));
    out.push_back(marker(RenderCommand::Kind::PopMask));
}

void RenderEmitter::emitContent(DisplayObject& object, const Context& context,
                                RenderCommandList& out) {
    if (object.picture) {
        drawShape(object.picture->shape(), context, out);
        return;
    }
    const Character* c = object.character();
    if (!c)
        return;
    switch (c->type) {
    case CharacterType::Shape:
        drawShape(c->shape, context, out);
        break;
    case CharacterType::MorphShape:
        drawShape(morphShape(object), context, out);
        break;
    case CharacterType::Bitmap:
        drawShape(bitmapShape(*c, context), context, out);
        break;
    case CharacterType::Text:
        emitText(object, context, out);
        break;
    case CharacterType::EditText:
        emitEditText(object, context, out);
        break;
    case CharacterType::Sprite:
        // A drawing masks with its fills only.
        if (object.drawing)
            drawShape(context.asMask ? object.drawing->fillShape() : object.drawing->shape(),
                      context, out);
        emitChildren(object, context, out);
        break;
    case CharacterType::Button:
        emitChildren(object, context, out);
        break;
    case CharacterType::VideoStream:
        object.picture = makeVideoPicture(object);
        drawShape(object.picture->shape(), context, out);
        break;
    default:
        break;
    }
}

void RenderEmitter::drawShape(std::shared_ptr<const Shape> shape, const Context& context,
                              RenderCommandList& out) {
    if (!shape)
        return;
    RenderCommand command;
    command.kind = RenderCommand::Kind::DrawShape;
    command.shape = std::move(shape);
    command.matrix = context.matrix;
    command.colorTransform = context.colorTransform;
    command.bitmaps = context.source ? context.source->bitmaps.get() : nullptr;
    out.push_back(std::move(command));
}

std::shared_ptr<const Shape> RenderEmitter::bitmapShape(const Character& character,
                                                        const Context& context) {
    auto* shapes = &m_bitmapShapes;
    const BitmapLookup* lookup = &m_bitmaps;
    if (context.source) {
        shapes = &cachesOf(*context.source).bitmapShapes;
        lookup = context.source->bitmaps.get();
    }
    auto it = shapes->find(character.id);
    if (it != shapes->end())
        return it->second;
    std::shared_ptr<const Shape> result;
    if (const Bitmap* bitmap = lookup->bitmap(character.id)) {
        // A bitmap placed by itself is a rectangle of its own size filled with it, one
        // pixel to 20 twips.
        auto shape = std::make_shared<Shape>();
        const int32_t w = bitmap->width * 20, h = bitmap->height * 20;
        shape->bounds = {0, w, 0, h};
        StyleGroup group;
        FillStyle fill;
        fill.type = FillType::ClippedBitmap;
        fill.bitmapId = character.id;
        fill.matrix.a = fill.matrix.d = 20;
        group.fills.push_back(fill);
        const int32_t xs[] = {0, w, w, 0, 0}, ys[] = {0, 0, h, h, 0};
        for (int i = 0; i < 4; ++i) {
            Edge e;
            e.x0 = xs[i];
            e.y0 = ys[i];
            e.x1 = xs[i + 1];
            e.y1 = ys[i + 1];
            e.fill1 = 1;
            group.edges.push_back(e);
        }
        shape->groups.push_back(std::move(group));
        result = std::move(shape);
    }
    shapes->emplace(character.id, result);
    return result;
}

std::shared_ptr<const Shape> RenderEmitter::morphShape(DisplayObject& object) {
    const Character* c = object.character();
    if (!c || !c->morph)
        return nullptr;
    // The instance keeps the shape of its last ratio: a tween that holds still costs nothing.
    if (!object.morphShape || object.morphRatio != object.ratio) {
        object.morphShape =
            std::make_shared<const Shape>(interpolate(*c->morph, object.ratio / 65535.0));
        object.morphRatio = object.ratio;
    }
    return object.morphShape;
}

void RenderEmitter::emitText(DisplayObject& object, const Context& context,
                             RenderCommandList& out) {
    const Character* c = object.character();
    if (!c || !c->text)
        return;
    for (const TextCache::Placed& glyph : textCache(context).layout(*c)) {
        RenderCommand command;
        command.kind = RenderCommand::Kind::DrawShape;
        command.shape = glyph.shape;
        command.matrix = context.matrix * glyph.matrix;
        command.colorTransform = context.colorTransform * glyph.color;
        out.push_back(std::move(command));
    }
}

} // namespace swivio::swf
