#include "swf/player/bitmap_library.h"

#include "swf/image/bitmap_decoder.h"

namespace swivio::swf {

BitmapLibrary::BitmapLibrary(std::shared_ptr<const MovieDefinition> movie, std::size_t byteBudget)
    : m_movie(std::move(movie)), m_budget(byteBudget) {}

const Bitmap* BitmapLibrary::bitmap(uint16_t id) const {
    std::lock_guard lock(m_mutex);
    auto it = m_decoded.find(id);
    if (it != m_decoded.end())
        return it->second.get();
    const Character* c = m_movie->character(id);
    std::unique_ptr<const Bitmap> decoded;
    if (c && c->type == CharacterType::Bitmap) {
        Result<Bitmap> result = decodeBitmapTag(c->tagCode, c->body, m_movie->jpegTables);
        const std::size_t bytes = result ? result->pixels.size() * sizeof(uint32_t) : 0;
        if (result && m_used + bytes <= m_budget) {
            m_used += bytes;
            decoded = std::make_unique<const Bitmap>(std::move(*result));
        }
    }
    const Bitmap* raw = decoded.get();
    m_decoded.emplace(id, std::move(decoded));
    return raw;
}

} // namespace swivio::swf
