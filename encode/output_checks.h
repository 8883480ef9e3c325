#pragma once

#include <string>
#include <vector>

#include "base/result.h"
#include "settings/conversion_settings.h"

namespace swivio {

// A file an output is made from, and what it is to the user ("the movie").
struct InputFile {
    std::string role;
    std::string path;
};

// The one file a conversion writes: the AVI or MPEG output file, or the animated GIF in
// the output folder. Empty for a picture series, which writes one file per frame.
std::string conversionOutputFile(const ConversionSettings& settings);

// The output file that exists already and that the conversion would replace; empty when
// there is none. A picture series' own numbered pictures never count: the series
// overwrites them without asking.
std::string existingOutputFile(const ConversionSettings& settings);

// What must hold of the output before anything is recorded, checked with the file system as
// it is now (symbolic links followed):
//  - the output is not a folder, a device, a FIFO or a socket;
//  - it is not the same file (device and inode, however spelled) as the movie, the
//    imported sound or the watermark picture; for a picture series, no picture it will
//    write is;
//  - its folder can take a new file;
//  - an output file that exists is replaced only when `overwriteAllowed`.
// Fails with a message naming the output and the reason.
Status checkConversionOutput(const ConversionSettings& settings, bool overwriteAllowed);

// The same checks for one output file written from `inputs` (the files it is made from),
// as the frame command writes its picture.
Status checkOutputFile(const std::string& output, const std::vector<InputFile>& inputs,
                       bool overwriteAllowed);

// The message of an output file that exists when overwriting is not allowed.
std::string outputExistsMessage(const std::string& output);

} // namespace swivio
