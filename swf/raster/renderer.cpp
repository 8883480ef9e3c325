#include "swf/raster/renderer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "swf/raster/filter_effects.h"
#include "swf/raster/frame_pixels.h"
#include "swf/raster/layer_compositor.h"
#include "swf/raster/occlusion_plan.h"
#include "swf/raster/pixel_ops.h"
#include "swf/raster/shape_cache.h"
#include "swf/raster/shape_painter.h"
#include "swf/raster/surface.h"

namespace swivio::swf {

using raster::composeLayer;
using raster::DrawTarget;
using raster::PixelBox;
using raster::Surface;

namespace {

// Layers, mask definitions and masks each hold a picture of the clip rectangle; past these
// depths, hostile nesting is drawn no deeper instead of exhausting memory.
constexpr std::size_t kMaxLevels = 16;
constexpr std::size_t kMaxMasks = 16;
// The scanline buffers of the rasterizer count pixels in 16 bits.
constexpr int kMaxClipSize = 16384;

} // namespace

struct Renderer::Impl {
    enum class LevelKind { Root, Layer, MaskDefinition };

    struct Level {
        LevelKind kind = LevelKind::Root;
        std::unique_ptr<Surface> surface; // null for the root (it uses `root`) or when skipped
        bool skipped = false;
        const RenderCommand* command = nullptr; // the PushLayer
    };

    struct Mask {
        std::vector<uint8_t> coverage; // empty when skipped
        std::size_t level = 0;
    };

    void render(const RenderCommandList& commands, const BitmapLookup& bitmaps,
                const RenderViewport& viewport, Frame& frame, std::optional<uint32_t> background);
    void startRoot(const Frame& frame, const PixelBox& clip, std::optional<uint32_t> background);

    Surface* levelSurface(std::size_t index) {
        Level& level = levels[index];
        return level.kind == LevelKind::Root ? root.get() : level.surface.get();
    }
    const uint8_t* activeMask(std::size_t levelIndex) const {
        if (masks.empty() || masks.back().level != levelIndex || masks.back().coverage.empty()) {
            return nullptr;
        }
        return masks.back().coverage.data();
    }
    void pushLevel(LevelKind kind, const RenderCommand* command);
    void popLevel(); // the top level, which is not the root
    void beginMasked();
    void popMask();
    void popLayer();
    void releaseMask() {
        freeMasks.push_back(std::move(masks.back().coverage));
        masks.pop_back();
    }

    raster::ShapePainter painter;
    raster::ShapeCache shapes;
    raster::OcclusionPlan occlusion;
    raster::FilterEffects filters;
    raster::SurfacePool pool;
    std::unique_ptr<Surface> root;
    std::vector<Level> levels;
    std::vector<Mask> masks;
    std::vector<std::vector<uint8_t>> freeMasks;
    double scaleX = 1, scaleY = 1; // stage pixels to surface pixels
    bool pictureReuse = true;
};

Renderer::Renderer() : m_impl(std::make_unique<Impl>()) {}
Renderer::~Renderer() = default;

void Renderer::setPictureReuse(bool on) {
    m_impl->pictureReuse = on;
}

void Renderer::render(const RenderCommandList& commands, const BitmapLookup& bitmaps,
                      const RenderViewport& viewport, Frame& frame,
                      std::optional<uint32_t> background) {
    m_impl->render(commands, bitmaps, viewport, frame, background);
}

void Renderer::Impl::pushLevel(LevelKind kind, const RenderCommand* command) {
    Level level;
    level.kind = kind;
    level.command = command;
    const bool parentSkipped = !levels.empty() && levels.back().skipped;
    if (parentSkipped || levels.size() >= kMaxLevels) {
        level.skipped = true;
    } else {
        level.surface = pool.acquire();
    }
    levels.push_back(std::move(level));
}

void Renderer::Impl::popLevel() {
    pool.release(std::move(levels.back().surface));
    levels.pop_back();
}

void Renderer::Impl::beginMasked() {
    if (levels.back().kind != LevelKind::MaskDefinition) {
        return; // BeginMasked without PushMask
    }
    Level definition = std::move(levels.back());
    levels.pop_back();
    Mask mask;
    mask.level = levels.size() - 1;
    if (definition.surface && masks.size() < kMaxMasks) {
        const Surface& s = *definition.surface;
        if (!freeMasks.empty()) {
            mask.coverage = std::move(freeMasks.back());
            freeMasks.pop_back();
        }
        mask.coverage.assign(static_cast<std::size_t>(s.width()) * s.height(), 0);
        const PixelBox box = s.dirty();
        const uint8_t* outer = activeMask(mask.level);
        for (int y = box.y0; y < box.y1; ++y) {
            const uint32_t* row = s.row(y);
            uint8_t* out = mask.coverage.data() + static_cast<std::size_t>(y) * s.width();
            const uint8_t* outerRow =
                outer ? outer + static_cast<std::size_t>(y) * s.width() : nullptr;
            for (int x = box.x0; x < box.x1; ++x) {
                const uint32_t a = raster::pixelA(row[x]);
                out[x] = uint8_t(outerRow ? raster::mul255(a, outerRow[x]) : a);
            }
        }
    } else if (!definition.skipped) {
        // Too many masks at once: the content shows unmasked rather than not at all.
        mask.coverage.clear();
    }
    pool.release(std::move(definition.surface));
    masks.push_back(std::move(mask));
}

void Renderer::Impl::popMask() {
    if (levels.back().kind == LevelKind::MaskDefinition) {
        popLevel(); // a mask that never reached BeginMasked
        return;
    }
    if (!masks.empty() && masks.back().level == levels.size() - 1) {
        releaseMask();
    }
}

void Renderer::Impl::popLayer() {
    while (levels.back().kind == LevelKind::MaskDefinition) {
        popLevel();
    }
    if (levels.back().kind != LevelKind::Layer) {
        return; // PopLayer without PushLayer
    }
    const std::size_t index = levels.size() - 1;
    while (!masks.empty() && masks.back().level >= index) {
        releaseMask();
    }
    Level layer = std::move(levels.back());
    levels.pop_back();
    if (layer.surface) {
        const RenderCommand& command = *layer.command;
        filters.apply(*layer.surface, command.filters, scaleX, scaleY);
        Surface* below = levelSurface(levels.size() - 1);
        // Alpha and Erase act on the enclosing layer's alpha; straight onto the stage there
        // is none to act on, and the object leaves no mark.
        const bool onStage = levels.back().kind == LevelKind::Root;
        const bool alphaOnly =
            command.blendMode == BlendMode::Alpha || command.blendMode == BlendMode::Erase;
        if (below && !(onStage && alphaOnly)) {
            composeLayer(*layer.surface, *below, layer.surface->dirty(), command.blendMode,
                         raster::finiteTransform(command.colorTransform),
                         activeMask(levels.size() - 1));
        }
    }
    pool.release(std::move(layer.surface));
}

void Renderer::Impl::startRoot(const Frame& frame, const PixelBox& clip,
                                std::optional<uint32_t> background) {
    if (background) {
        const uint32_t colour = raster::opaquePixel(*background);
        for (int y = 0; y < root->height(); ++y) {
            std::fill_n(root->row(y), root->width(), colour);
        }
        // Painted over a colour the caller has not put in the frame: all of it goes back.
        root->forgetDirty();
        root->markAllDirty();
        return;
    }
    // The root starts as the frame's own pixels, so blend modes see the background.
    for (int y = 0; y < root->height(); ++y) {
        raster::loadFrameRow(frame.topRow(clip.y0 + y) + std::size_t(clip.x0) * 3, root->row(y),
                             root->width());
    }
    root->forgetDirty();
}

void Renderer::Impl::render(const RenderCommandList& commands, const BitmapLookup& bitmaps,
                            const RenderViewport& viewport, Frame& frame,
                            std::optional<uint32_t> background) {
    const PixelBox clip = PixelBox{viewport.clipX, viewport.clipY,
                                   viewport.clipX + std::min(viewport.clipWidth, kMaxClipSize),
                                   viewport.clipY + std::min(viewport.clipHeight, kMaxClipSize)}
                              .intersected({0, 0, frame.width(), frame.height()});
    const double stageWidth = double(viewport.stage.xMax) - viewport.stage.xMin;
    const double stageHeight = double(viewport.stage.yMax) - viewport.stage.yMin;
    const bool drawable = !clip.isEmpty() && !frame.isEmpty() && stageWidth > 0 &&
                          stageHeight > 0 && viewport.playerWidth > 0 &&
                          viewport.playerHeight > 0;
    if (background) {
        // The whole clip rectangle gets the colour: what the surface covers when it goes
        // back into the frame, the rest (past the largest surface, or all of it when
        // nothing can be drawn) here.
        auto end = [](int from, int size) {
            return int(std::clamp<int64_t>(int64_t(from) + size, INT32_MIN, INT32_MAX));
        };
        const PixelBox whole = PixelBox{viewport.clipX, viewport.clipY,
                                        end(viewport.clipX, viewport.clipWidth),
                                        end(viewport.clipY, viewport.clipHeight)}
                                   .intersected({0, 0, frame.width(), frame.height()});
        if (!drawable) {
            raster::fillFrame(frame, whole, *background);
        } else {
            raster::fillFrame(frame, {clip.x1, whole.y0, whole.x1, whole.y1}, *background);
            raster::fillFrame(frame, {whole.x0, clip.y1, clip.x1, whole.y1}, *background);
        }
    }
    if (!drawable) {
        return;
    }
    const int width = clip.x1 - clip.x0;
    const int height = clip.y1 - clip.y0;
    pool.setSize(width, height);
    if (!root || root->width() != width || root->height() != height) {
        root = std::make_unique<Surface>(width, height);
        freeMasks.clear();
    }

    // Stage twips to surface pixels: scale to the player size, then shift by the grab
    // origin and the clip rectangle's corner.
    const double sx = viewport.playerWidth / stageWidth;
    const double sy = viewport.playerHeight / stageHeight;
    const Matrix view{sx,
                      0,
                      0,
                      sy,
                      -double(viewport.stage.xMin) * sx - viewport.originX - clip.x0,
                      -double(viewport.stage.yMin) * sy - viewport.originY - clip.y0};
    scaleX = sx * 20;
    scaleY = sy * 20;

    startRoot(frame, clip, background);
    levels.clear();
    masks.clear();
    levels.push_back(Level{});
    painter.beginFrame();
    shapes.beginFrame(bitmaps, width, height);
    if (pictureReuse) {
        occlusion.plan(commands, bitmaps, view, *root, shapes, painter);
    }

    for (std::size_t index = 0; index < commands.size(); ++index) {
        const RenderCommand& command = commands[index];
        switch (command.kind) {
        case RenderCommand::Kind::DrawShape: {
            const std::size_t top = levels.size() - 1;
            Surface* surface = levelSurface(top);
            if (!command.shape || !surface || (pictureReuse && occlusion.whollyHidden(index))) {
                break;
            }
            DrawTarget target;
            target.surface = surface;
            target.coverageOnly = levels[top].kind == LevelKind::MaskDefinition;
            target.mask = target.coverageOnly ? nullptr : activeMask(top);
            const ColorTransform ct = raster::finiteTransform(command.colorTransform);
            const BitmapLookup& fills = command.bitmaps ? *command.bitmaps : bitmaps;
            const Matrix matrix = drawMatrix(command, view);
            if (pictureReuse) {
                shapes.draw(command.shape, matrix, view, ct, fills, target, painter,
                            occlusion.visible(index), occlusion.recording(index),
                            occlusion.hidden(index), occlusion.look(index));
            } else {
                painter.draw(*command.shape, matrix, view, ct, fills, target);
            }
            break;
        }
        case RenderCommand::Kind::PushMask:
            pushLevel(LevelKind::MaskDefinition, &command);
            break;
        case RenderCommand::Kind::BeginMasked:
            beginMasked();
            break;
        case RenderCommand::Kind::PopMask:
            popMask();
            break;
        case RenderCommand::Kind::PushLayer:
            pushLevel(LevelKind::Layer, &command);
            break;
        case RenderCommand::Kind::PopLayer:
            popLayer();
            break;
        }
    }
    // Unbalanced lists: close whatever is still open.
    while (levels.size() > 1) {
        if (levels.back().kind == LevelKind::Layer) {
            popLayer();
        } else {
            popLevel();
        }
    }
    while (!masks.empty()) {
        releaseMask();
    }

    // Back into the frame. Only alpha and erase blends can leave the root less than opaque;
    // there the background colour shows through, or without one the frame's own pixels.
    const uint32_t under = background ? raster::opaquePixel(*background) : 0;
    const PixelBox box = root->dirty();
    for (int y = box.y0; y < box.y1; ++y) {
        raster::storeFrameRow(root->row(y) + box.x0,
                              frame.topRow(clip.y0 + y) + std::size_t(clip.x0 + box.x0) * 3,
                              box.x1 - box.x0, under);
    }
}

} // namespace swivio::swf
