#include "swf/movie.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "clib/c_handle.h"

namespace swivio::swf {

Movie::Movie(std::shared_ptr<const MovieDefinition> definition)
    : m_definition(std::move(definition)),
      m_bitmaps(std::make_unique<BitmapLibrary>(m_definition)) {}

int Movie::width() const {
    return (stage().xMax - stage().xMin) / 20;
}
int Movie::height() const {
    return (stage().yMax - stage().yMin) / 20;
}

Result<std::shared_ptr<const Movie>> Movie::load(std::span<const uint8_t> bytes) {
    auto definition = readMovieDefinition(bytes);
    if (!definition)
        return Result<std::shared_ptr<const Movie>>::failure(definition.message());
    return std::shared_ptr<const Movie>(std::make_shared<Movie>(std::move(*definition)));
}

Result<std::vector<uint8_t>> readMovieBytes(const std::string& path) {
    using R = Result<std::vector<uint8_t>>;
    // Only a regular file is a movie: opening a pipe would wait for a writer forever.
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path), error))
        return R::failure(std::filesystem::exists(std::filesystem::path(path), error)
                              ? path + " is not a regular file"
                              : path + " does not exist");
    clib::File file = clib::openFile(path.c_str(), "rb");
    if (!file)
        return R::failure("cannot open " + path + ": " + std::strerror(errno));
    // A compressed body is never larger than what it holds by much, so the file itself is
    // bounded like the uncompressed movie.
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    while (true) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (bytes.size() > kMaxMovieBytes + 8)
            return R::failure(path + ": the file is too large for a movie");
        if (n < sizeof buffer)
            break;
    }
    if (std::ferror(file.get()))
        return R::failure("cannot read " + path);
    return bytes;
}

Result<std::shared_ptr<const Movie>> Movie::loadFile(const std::string& path) {
    using R = Result<std::shared_ptr<const Movie>>;
    auto bytes = readMovieBytes(path);
    if (!bytes)
        return R::failure(bytes.message());
    R movie = load(*bytes);
    if (!movie)
        return R::failure(path + ": " + movie.message());
    return movie;
}

} // namespace swivio::swf
