#pragma once

namespace swivio::cli {

// Each command takes the arguments after its own name and returns the process exit code.
int runInfo(int argc, char** argv);
int runFrame(int argc, char** argv);
int runConvert(int argc, char** argv);
int runTrace(int argc, char** argv);
int runRecord(int argc, char** argv);

} // namespace swivio::cli
