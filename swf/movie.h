#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "swf/format/movie_definition.h"
#include "swf/player/bitmap_library.h"

namespace swivio::swf {

// A loaded movie: what its file says, read once and never changed. Shared by every player
// that plays it (and safe to share between threads: bitmaps decode under a lock).
// The bytes of the movie file at `path`: a regular file of at most kMaxMovieBytes + 8 bytes.
// Fails with a message naming the file and the cause.
Result<std::vector<uint8_t>> readMovieBytes(const std::string& path);

// Bounds on what a movie's ImportAssets tags may read, nested imports included.
constexpr int kMaxImportDepth = 4;  // a movie imports, that one imports, ... this deep
constexpr int kMaxImportFiles = 32; // distinct files read for one movie
constexpr std::size_t kMaxImportBytes = std::size_t(256) << 20; // their bodies together

// Reads the file an ImportAssets tag names, given as a path relative to the folder of the
// movie first loaded: '/'-separated, without "." or ".." parts, never absolute.
using ImportReader = std::function<Result<std::vector<uint8_t>>(const std::string& relativePath)>;

// Reads imported movies from a folder and below, and nothing outside it (symbolic links
// leading out of it are refused too).
ImportReader importsFromFolder(const std::filesystem::path& folder);

class Movie {
public:
    // Reads a whole movie from memory. Fails only when the bytes are not a movie (wrong
    // signature, a body that does not decompress, a header cut short); damaged tags after
    // the header are skipped and listed in warnings().
    // Without a reader, ImportAssets tags are ignored. With one, each tag's movie is read
    // through it and its characters copied in (see linkImports); a file that is missing,
    // not a movie, out of bounds or named by a URL other than a plain relative path is a
    // warning, and the rest of the movie plays.
    static Result<std::shared_ptr<const Movie>> load(std::span<const uint8_t> bytes,
                                                     const ImportReader& imports = {});
    // Reads the movie and, from its folder and below, the movies it imports from.
    static Result<std::shared_ptr<const Movie>> loadFile(const std::string& path);

    int version() const { return m_definition->file.version; }
    Rect stage() const { return m_definition->file.stage; }
    // Stage size in whole pixels (20 twips each).
    int width() const;
    int height() const;
    float frameRate() const { return m_definition->file.frameRate; }
    // Frames of the root timeline that can be shown (at least 1).
    int frameCount() const { return m_definition->root.frameCount(); }
    // The frame count the header declares, which may differ from the frames there are.
    int declaredFrameCount() const { return m_definition->file.frameCount; }
    const std::vector<std::string>& warnings() const { return m_definition->warnings; }

    const std::shared_ptr<const MovieDefinition>& definition() const { return m_definition; }
    const BitmapLibrary& bitmaps() const { return *m_bitmaps; }

    explicit Movie(std::shared_ptr<const MovieDefinition> definition);

private:
    std::shared_ptr<const MovieDefinition> m_definition;
    std::unique_ptr<BitmapLibrary> m_bitmaps;
};

} // namespace swivio::swf
