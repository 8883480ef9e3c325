#pragma once

#include <string>
#include <vector>

#include "base/result.h"

namespace swivio::cli {

struct ConvertOptions;

// One movie of a batch and where its conversion goes.
struct BatchMovie {
    std::string input;         // a movie named, or a file found under a folder named
    std::string output;        // the output file, or the picture series' folder
    bool folderOutput = false; // a picture series: `output` is a folder of its own
};

// The output's extension (".avi", ".mpg", ".mp4", ".gif"...) for the output type the options
// ask for; empty for a picture series, which writes a folder per movie.
std::string batchOutputExtension(const ConvertOptions& options);

// The movies of options.movies in order: a file as given, a folder as its .swf and .flv
// files (extensions in any case; sub-folders too with options.recursive, links to folders
// not followed) in sorted order. Each output is the movie's base name with the output's
// extension in options.outputDir, under the sub-folder it was found in. Fails, before
// anything is converted, when a folder cannot be read, when folders hold no movie at all,
// or when two movies would write the same output (each such pair named).
Result<std::vector<BatchMovie>> planBatch(const ConvertOptions& options);

} // namespace swivio::cli
