#pragma once

#include <string>

#include "base/result.h"
#include "clib/c_handle.h"

namespace swivio {

// A new, empty WAV file of a unique name, open for writing.
struct TempWaveFile {
    clib::File file;
    std::string path;
};

// Creates "audXXXXXX.wav" (six random characters) in `folder` exclusively and at once, so
// no existing file is ever taken over and no other program can slip in between the naming
// and the opening. Fails naming the folder and the cause.
Result<TempWaveFile> createTempWaveFile(const std::string& folder);

} // namespace swivio
