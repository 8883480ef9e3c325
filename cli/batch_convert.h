#pragma once

namespace swivio::cli {

struct ConvertOptions;

// Converts several movies (planBatch) into options.outputDir. Each movie converts in a
// child process of this program (`convert MOVIE -o OUTPUT` with the same options), so a
// movie that crashes, hangs or eats memory takes only its own process down; options.jobs
// of them run at once, options.timeout stops one that runs too long. -y and -n pass to each
// movie; without either, the question is asked here, before anything runs, for each output
// that exists, or, without a terminal, each such movie is refused. Prints one line per movie
// in the order of the plan (a summary, or JSON with options.json) as soon as it and those
// before it are done. Ctrl-C, SIGHUP and SIGTERM stop the running movies, which delete their
// temporary files, and start no more; a second one kills them at once (their working
// folders and unfinished outputs are removed all the same).
// Returns 0 when every movie converted, 2 when some did not, 1 for bad arguments (nothing
// converted), 130 when interrupted.
int runBatchConvert(const ConvertOptions& options);

} // namespace swivio::cli
