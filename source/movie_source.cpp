#include "source/movie_source.h"

#include <cctype>

#include "source/flv_player.h"
#include "source/player_host.h"

namespace swivio {

bool hasFlvExtension(const std::string& path) {
    if (path.size() < 4)
        return false;
    const char* ext = ".flv";
    for (std::size_t i = 0; i < 4; ++i)
        if (std::tolower(static_cast<unsigned char>(path[path.size() - 4 + i])) != ext[i])
            return false;
    return true;
}

namespace {

Result<std::unique_ptr<MovieSource>> loadFailure(const std::string& error) {
    using R = Result<std::unique_ptr<MovieSource>>;
    // The loader's own failures already start with the message.
    if (error.rfind(kInvalidMovieMessage, 0) == 0)
        return R::failure(error);
    return R::failure(std::string(kInvalidMovieMessage) + " (" + error + ")");
}

} // namespace

Result<std::unique_ptr<MovieSource>> openMovieSource(const std::string& path) {
    using R = Result<std::unique_ptr<MovieSource>>;
    if (hasFlvExtension(path)) {
        auto player = std::make_unique<FlvPlayer>();
        if (!player->open(path))
            return loadFailure(player->errorString());
        return R(std::move(player));
    }
    auto host = std::make_unique<PlayerHost>();
    if (!host->load(path))
        return loadFailure(host->errorString());
    return R(std::move(host));
}

} // namespace swivio
