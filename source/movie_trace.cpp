#include "source/movie_trace.h"

#include "source/engine_input.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/movie.h"
#include "swf/movie_player.h"

namespace swivio {

Status traceMovie(const std::string& path, int frames,
                  const std::function<void(std::string_view)>& onTrace,
                  const std::function<void(std::string_view)>& onError) {
    return traceMovie(path, frames, {}, onTrace, onError);
}

Status traceMovie(const std::string& path, int frames,
                  const std::vector<std::vector<UserInput>>& inputSteps,
                  const std::function<void(std::string_view)>& onTrace,
                  const std::function<void(std::string_view)>& onError) {
    auto movie = swf::Movie::loadFile(path);
    if (!movie)
        return Status::failure(movie.message());
    if (movie.value()->definition()->usesActionScript3())
        onError("the movie's scripts are ActionScript 3, which is not run; its timeline plays");
    // The first frame's scripts run while the player is made: the sinks go in first.
    swf::PlayerOptions options;
    options.moviePath = path;
    swf::MoviePlayer player(*movie, options, [&](swf::avm1::ScriptRuntime& scripts) {
        scripts.setTraceSink(onTrace);
        scripts.setErrorSink(onError);
    });
    if (frames <= 0)
        frames = (*movie)->frameCount();
    auto deliver = [&](int step) {
        if (step < 0 || size_t(step) >= inputSteps.size())
            return;
        for (const UserInput& input : inputSteps[size_t(step)])
            player.handleInput(toEngineInput(input));
    };
    deliver(0);
    for (int i = 1; i < frames; ++i) {
        player.advance();
        deliver(i);
    }
    return Status();
}

} // namespace swivio
