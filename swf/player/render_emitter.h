#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "swf/format/bitmap.h"
#include "swf/format/movie_definition.h"
#include "swf/player/display_object.h"
#include "swf/player/loaded_movie.h"
#include "swf/raster/render_commands.h"

namespace swivio::swf {

// A rectangle of the box (twips), filled and/or outlined with a line one pixel wide at any
// scale.
std::shared_ptr<const Shape> boxShape(const Rect& r, const Rgba* fill, const Rgba* line);

// Turns a display list into render commands, in painting order: children by depth, each
// object's matrix and colour transform concatenated with its parents' (the child's applied
// first); clip-depth masks as PushMask / BeginMasked / PopMask, nested and inside clips;
// objects with a blend mode other than normal, or with filters, inside PushLayer / PopLayer;
// invisible objects left out.
//
// Shapes made for drawing (morph shapes at a ratio, text glyphs, bitmaps placed as
// characters) are cached, so an unchanged frame allocates nothing big.
class RenderEmitter {
public:
    RenderEmitter(std::shared_ptr<const MovieDefinition> movie, const BitmapLookup& bitmaps);
    ~RenderEmitter();

    // Replaces out with the commands that draw root and everything below it.
    void emit(DisplayObject& root, RenderCommandList& out);
    // Adds the commands that draw another root (a level) after those in out.
    void append(DisplayObject& root, RenderCommandList& out);

private:
    struct Context {
        Matrix matrix;
        ColorTransform colorTransform;
        bool asMask = false; // drawing a mask: only coverage counts
        const LoadedMovie* source = nullptr; // the loaded movie drawn, null for the first
    };

    void emitChildren(DisplayObject& parent, const Context& context, RenderCommandList& out);
    void emitObject(DisplayObject& object, const Context& context, RenderCommandList& out);
    void emitContent(DisplayObject& object, const Context& context, RenderCommandList& out);
    // The content inside its scroll rectangle and over its opaque background.
    void emitFramedContent(DisplayObject& object, const Context& context,
                           RenderCommandList& out);
    void drawShape(std::shared_ptr<const Shape> shape, const Context& context,
                   RenderCommandList& out);
    std::shared_ptr<const Shape> bitmapShape(const Character& character, const Context& context);

    void emitText(DisplayObject& object, const Context& context, RenderCommandList& out);
    // A text field: background and border, then its visible lines clipped to its box
    // (render_edit_text.cpp).
    void emitEditText(DisplayObject& object, const Context& context, RenderCommandList& out);
    std::shared_ptr<const Shape> morphShape(DisplayObject& object);

    std::shared_ptr<const MovieDefinition> m_movie;
    const BitmapLookup& m_bitmaps;
    std::unordered_map<uint16_t, std::shared_ptr<const Shape>> m_bitmapShapes;

    struct TextCache;
    TextCache& textCache(const Context& context);
    std::unique_ptr<TextCache> m_text;
    // The same for loaded movies, dropped once the movie is gone.
    struct LoadedCaches;
    LoadedCaches& remember(const std::shared_ptr<const LoadedMovie>& movie);
    LoadedCaches& cachesOf(const LoadedMovie& movie);
    std::vector<std::unique_ptr<LoadedCaches>> m_loaded;
};

} // namespace swivio::swf
