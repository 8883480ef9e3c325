#pragma once

// What scripts of a test movie trace, for the tests of the player's script order.

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "swf/avm1/movie_runtime.h"
#include "swf/movie.h"
#include "swf/movie_player.h"
#include "tests/support/action_assembler.h"
#include "tests/support/swf_movies.h"

namespace swivio::swf {

// Actions that trace `text`.
inline std::vector<uint8_t> traceAction(const std::string& text) {
    return testkit::ActionAssembler().push(text).trace().build();
}

// What the movie traces over its first `frames` frames (the first included); a movie that
// does not load fails the test and traces nothing.
inline std::vector<std::string> traced(const testkit::SwfWriter& writer, int frames) {
    auto movie = Movie::load(writer.build());
    EXPECT_TRUE(movie.ok()) << movie.message();
    if (!movie)
        return {};
    std::vector<std::string> lines;
    MoviePlayer player(*movie, PlayerOptions{}, [&](avm1::ScriptRuntime& scripts) {
        scripts.setTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    });
    for (int i = 1; i < frames; ++i)
        player.advance();
    return lines;
}

} // namespace swivio::swf
