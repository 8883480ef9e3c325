#include "source/swf_movie_file.h"

#include <filesystem>

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
    // Characters a movie imports come from files beside it.
    auto movie = swf::Movie::load(*bytes, swf::importsFromFolder(
                                              std::filesystem::path(path).parent_path()));
    if (!movie)
        return refused(path + ": " + movie.message());
    file.movie = std::move(*movie);
    return file;
}

std::vector<std::string> movieFileWarnings(const SwfMovieFile& file) {
    std::vector<std::string> warnings;
    // A movie is damaged when its reading had to skip or stop; a whole movie that merely
    // shows fewer frames than its header counts is not.
    if (!file.movie || file.movie->warnings().empty())
        return warnings;
    const int declared = file.header.frameCount, readable = file.movie->frameCount();
    if (readable < declared)
        warnings.push_back("The movie is damaged: only " + std::to_string(readable) + " of its " +
                           std::to_string(declared) + " frames could be read.");
    for (const std::string& warning : file.movie->warnings())
        warnings.push_back(warning);
    return warnings;
}

} // namespace swivio
