#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "source/user_input.h"

namespace swivio {

// Plays a movie with no display for `frames` frames (the first included), as Flash Player
// plays it, scripts in charge, and hands each trace() line and each script error (errors,
// refused requests, stopped scripts) to the callbacks as they happen. Fails only when the
// file cannot be read as a movie.
Status traceMovie(const std::string& path, int frames,
                  const std::function<void(std::string_view)>& onTrace,
                  const std::function<void(std::string_view)>& onError);

// The same, with a person's input: inputSteps[0] is delivered after the first frame has run,
// inputSteps[k] after frame k + 1. Steps beyond the last frame are not delivered.
Status traceMovie(const std::string& path, int frames,
                  const std::vector<std::vector<UserInput>>& inputSteps,
                  const std::function<void(std::string_view)>& onTrace,
                  const std::function<void(std::string_view)>& onError);

} // namespace swivio
