#include "swf/raster/surface.h"

#include <algorithm>
#include <cstring>

namespace swivio::swf::raster {

void PixelBox::unite(const PixelBox& o) {
    if (o.isEmpty()) {
        return;
    }
    if (isEmpty()) {
        *this = o;
        return;
    }
    x0 = std::min(x0, o.x0);
    y0 = std::min(y0, o.y0);
    x1 = std::max(x1, o.x1);
    y1 = std::max(y1, o.y1);
}

PixelBox PixelBox::intersected(const PixelBox& o) const {
    PixelBox r{std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
    if (r.isEmpty()) {
        return {};
    }
    return r;
}

Surface::Surface(int width, int height)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)),
      m_pixels(static_cast<std::size_t>(m_width) * m_height, 0u) {}

void Surface::clear() {
    if (m_dirty.isEmpty()) {
        return;
    }
    const std::size_t bytes = static_cast<std::size_t>(m_dirty.x1 - m_dirty.x0) * 4;
    for (int y = m_dirty.y0; y < m_dirty.y1; ++y) {
        std::memset(row(y) + m_dirty.x0, 0, bytes);
    }
    m_dirty = {};
}

void SurfacePool::setSize(int width, int height) {
    if (width != m_width || height != m_height) {
        m_free.clear();
        m_width = width;
        m_height = height;
    }
}

std::unique_ptr<Surface> SurfacePool::acquire() {
    if (!m_free.empty()) {
        std::unique_ptr<Surface> s = std::move(m_free.back());
        m_free.pop_back();
        return s;
    }
    return std::make_unique<Surface>(m_width, m_height);
}

void SurfacePool::release(std::unique_ptr<Surface> surface) {
    if (!surface || surface->width() != m_width || surface->height() != m_height) {
        return;
    }
    surface->clear();
    m_free.push_back(std::move(surface));
}

} // namespace swivio::swf::raster
