#include "swf/player/render_emitter.h"

#include <algorithm>
#include <map>
#include <utility>

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

namespace {

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
    Context context;
    context.matrix = root.matrix;
    context.colorTransform = root.colorTransform;
    emitChildren(root, context, out);
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
        if (!child->visible)
            continue;
        emitObject(*child, context, out);
    }
    if (!context.asMask)
        for (; masks > 0; --masks)
            out.push_back(marker(RenderCommand::Kind::PopMask));
}

void RenderEmitter::emitObject(DisplayObject& object, const Context& context,
                               RenderCommandList& out) {
    Context inner = context;
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
    emitContent(object, inner, out);
    if (layered)
        out.push_back(marker(RenderCommand::Kind::PopLayer));
}

void RenderEmitter::emitContent(DisplayObject& object, const Context& context,
                                RenderCommandList& out) {
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
        drawShape(bitmapShape(*c), context, out);
        break;
    case CharacterType::Text:
        emitText(object, context, out);
        break;
    case CharacterType::EditText:
        emitEditText(object, context, out);
        break;
    case CharacterType::Sprite:
    case CharacterType::Button:
        emitChildren(object, context, out);
        break;
    default:
        // Videos and the rest draw nothing yet.
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
    out.push_back(std::move(command));
}

std::shared_ptr<const Shape> RenderEmitter::bitmapShape(const Character& character) {
    auto it = m_bitmapShapes.find(character.id);
    if (it != m_bitmapShapes.end())
        return it->second;
    std::shared_ptr<const Shape> result;
    if (const Bitmap* bitmap = m_bitmaps.bitmap(character.id)) {
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
    m_bitmapShapes.emplace(character.id, result);
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
    for (const TextCache::Placed& glyph : m_text->layout(*c)) {
        RenderCommand command;
        command.kind = RenderCommand::Kind::DrawShape;
        command.shape = glyph.shape;
        command.matrix = context.matrix * glyph.matrix;
        command.colorTransform = context.colorTransform * glyph.color;
        out.push_back(std::move(command));
    }
}

} // namespace swivio::swf
