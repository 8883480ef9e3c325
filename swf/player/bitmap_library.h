#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "swf/format/bitmap.h"
#include "swf/format/movie_definition.h"

namespace swivio::swf {

// The movie's bitmap characters, each decoded the first time it is asked for and kept.
// A bitmap that cannot be decoded is remembered as missing (and draws nothing), and so is
// one that would take the decoded pixels of the whole movie past byteBudget: a few bytes of
// compressed data can declare a bitmap of 64 MiB. Safe to use from several threads:
// decoding happens under a lock.
class BitmapLibrary : public BitmapLookup {
public:
    static constexpr std::size_t kDefaultByteBudget = std::size_t(512) << 20;

    explicit BitmapLibrary(std::shared_ptr<const MovieDefinition> movie,
                           std::size_t byteBudget = kDefaultByteBudget);

    const Bitmap* bitmap(uint16_t id) const override;

private:
    std::shared_ptr<const MovieDefinition> m_movie;
    std::size_t m_budget;
    mutable std::mutex m_mutex;
    mutable std::size_t m_used = 0;
    mutable std::unordered_map<uint16_t, std::unique_ptr<const Bitmap>> m_decoded;
};

} // namespace swivio::swf
