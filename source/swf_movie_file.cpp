#include "source/swf_movie_file.h"

#include "source/movie_source.h"
#include "swf/movie.h"

namespace swivio {

Result<SwfMovieFile> loadSwfMovieFile(const std::string& path) {
    using R = Result<SwfMovieFile>;
    auto refused = [](const std::string& cause) {
        return R::failure(std::string(kInvalidMovieMessage) + " (" + cause + ")");
    };
    auto bytes = swf::readMovieBytes(path);
    if (!bytes)
        return refused(bytes.message());
    SwfMovieFile file;
    if (!file.header.read(bytes->data(), bytes->size()))
        return refused(path + ": the header or the compressed body is not an SWF movie's");
    auto movie = swf::Movie::load(*bytes);
    if (!movie)
        return refused(path + ": " + movie.message());
    file.movie = std::move(*movie);
    return file;
}

} // namespace swivio
