#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "source/user_input.h"

namespace swivio {

// Input recorded beside a movie, in steps: the first step is delivered after the movie's
// first frame has run, each later step after the next frame. A "Wait" event ends a step.
struct RecordedInput {
    std::vector<std::vector<UserInput>> steps;
};

// Reads a recorded-input file: a JSON array of events such as
//   {"type":"MouseMove","pos":[x,y]}, {"type":"MouseDown","pos":[x,y],"btn":"Left"},
//   {"type":"KeyDown","key":{"Char":"a"}}, {"type":"KeyUp","key":"Tab"},
//   {"type":"TextInput","codepoint":"a"}, {"type":"TextControl","code":"Paste"},
//   {"type":"SetClipboardText","text":"..."}, {"type":"MouseWheel","delta":-3},
//   {"type":"FocusGained"}, {"type":"FocusLost"}, {"type":"Wait"}.
// A failure names the event and what is wrong with it.
Result<RecordedInput> parseRecordedInput(std::string_view text);
Result<RecordedInput> readRecordedInput(const std::string& path);

} // namespace swivio
