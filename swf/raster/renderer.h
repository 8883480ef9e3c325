#pragma once

#include <memory>
#include <optional>

#include "base/frame.h"
#include "swf/format/bitmap.h"
#include "swf/raster/render_commands.h"

namespace swivio::swf {

// Where and how a frame is painted into the frame picture.
//   The stage (stageWidth x stageHeight twips) is displayed at playerWidth x playerHeight
//   pixels; the frame's pixel (0, 0) lies at (originX, originY) of that display, and only
//   pixels inside the clip rectangle (frame pixels, top-left origin) are touched.
struct RenderViewport {
    Rect stage; // the movie's stage RECT, twips
    int playerWidth = 0, playerHeight = 0;
    int originX = 0, originY = 0; // grab origin, may be negative
    int clipX = 0, clipY = 0, clipWidth = 0, clipHeight = 0;
};

// Rasterizes a command list into a 24-bit frame. One renderer is reused frame after frame
// so its working surfaces are allocated once.
class Renderer {
public:
    Renderer();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Paints the commands over what the frame already holds, inside the viewport's clip
    // rectangle only. With a background colour (0x00BBGGRR), the commands are painted over
    // that colour instead and the whole clip rectangle is written. Any command list is safe:
    // unmatched pops are ignored and unclosed pushes closed at the end; content nested
    // more than 16 layers or masks deep is not drawn; layers and masks are pictures of the
    // clip rectangle, so filters do not reach in from outside it.
    void render(const RenderCommandList& commands, const BitmapLookup& bitmaps,
                const RenderViewport& viewport, Frame& frame,
                std::optional<uint32_t> background = std::nullopt);

    // Shapes drawn again the same way are painted from pictures kept between frames (the
    // default); off, every shape is painted from its edges every time, which only measuring
    // and comparing want.
    void setPictureReuse(bool on);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace swivio::swf
