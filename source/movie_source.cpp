#include "source/movie_source.h"

#include "source/player_host.h"

namespace swivio {

Result<std::unique_ptr<MovieSource>> openMovieSource(const std::string& path) {
    using R = Result<std::unique_ptr<MovieSource>>;
    auto host = std::make_unique<PlayerHost>();
    if (!host->load(path)) {
        const std::string& error = host->errorString();
        // The loader's own failures already start with the message.
        if (error.rfind(kInvalidMovieMessage, 0) == 0)
            return R::failure(error);
        return R::failure(std::string(kInvalidMovieMessage) + " (" + error + ")");
    }
    return R(std::move(host));
}

} // namespace swivio
