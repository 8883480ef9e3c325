#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace swivio::swf::raster {

// A half-open pixel box [x0, x1) x [y0, y1); empty when x0 >= x1 or y0 >= y1.
struct PixelBox {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    bool isEmpty() const { return x0 >= x1 || y0 >= y1; }
    void unite(const PixelBox& o);
    PixelBox intersected(const PixelBox& o) const;
    PixelBox expanded(int dx, int dy) const { return {x0 - dx, y0 - dy, x1 + dx, y1 + dy}; }
};

// Part of one surface row, [x0, x1), in surface pixels.
struct RowPiece {
    int32_t y, x0, x1;
};

// A working picture of premultiplied R, G, B, A pixels (see pixel_ops.h), top row first.
// It remembers the box that drawing touched since it was last cleared, so clearing and
// composing only visit that box.
class Surface {
public:
    Surface(int width, int height);

    int width() const { return m_width; }
    int height() const { return m_height; }
    PixelBox bounds() const { return {0, 0, m_width, m_height}; }
    uint32_t* row(int y) { return m_pixels.data() + static_cast<std::size_t>(y) * m_width; }
    const uint32_t* row(int y) const {
        return m_pixels.data() + static_cast<std::size_t>(y) * m_width;
    }

    const PixelBox& dirty() const { return m_dirty; }
    void markDirty(const PixelBox& box) { m_dirty.unite(box.intersected(bounds())); }
    void markAllDirty() { m_dirty = bounds(); }
    // Makes the touched box transparent again.
    void clear();
    // Forgets the touched box and leaves the pixels as they are (for a surface that the
    // caller has just filled whole).
    void forgetDirty() { m_dirty = {}; }

private:
    int m_width;
    int m_height;
    std::vector<uint32_t> m_pixels;
    PixelBox m_dirty;
};

// Transparent surfaces of one size, kept between frames so layers and masks allocate
// nothing once the pool has warmed up.
class SurfacePool {
public:
    // Resizes the pool's surfaces; drops them when the size changes.
    void setSize(int width, int height);
    std::unique_ptr<Surface> acquire();
    void release(std::unique_ptr<Surface> surface);

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<std::unique_ptr<Surface>> m_free;
};

} // namespace swivio::swf::raster
