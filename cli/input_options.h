#pragma once

#include <string>
#include <vector>

#include "base/result.h"
#include "source/user_input.h"

namespace swivio::cli {

// The largest frame a scripted click or key may name.
constexpr int kMaxInputFrame = 1000000;

// --click X,Y@T: the pointer moves to stage pixel (X, Y) and the left button is pressed and
// released there, after frame T has run. Appends the three events.
Status parseClickOption(const std::string& text, std::vector<TimedInput>& out);
// --key NAME@T: the key is pressed and released after frame T has run (a key that types a
// character types it too). Appends the events.
Status parseKeyOption(const std::string& text, std::vector<TimedInput>& out);

// The help lines of both options, for the commands that take them.
const char* inputOptionsUsage();

} // namespace swivio::cli
