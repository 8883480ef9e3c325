#pragma once

#include <string>

#include "base/result.h"
#include "settings/conversion_settings.h"

namespace swivio {

// Choices of a conversion that need to know the writers, shared by the settings sheet and
// the command line.

// Chooses the AVI video compressor named `name` as the compressor list shows it: its FourCC
// ("MJPG", "0" for uncompressed; without regard to case), its short name, or
// "uncompressed". Fails for another output type or a name that no listed compressor has.
Status setVideoCompressor(ConversionSettings& settings, const std::string& name);

// Sets the AVI quality, 1 to 100 (0: the compressor's usual setting). Fails for another
// output type, a value out of range, or a chosen compressor that has no quality setting.
Status setVideoQuality(ConversionSettings& settings, int quality);

// The check made before an AVI conversion starts: the chosen compressor takes frames of the
// output size (checkVideoCompressorSize). Passes for other outputs.
Status checkVideoCompressorForOutput(const ConversionSettings& settings);

// Chooses the sound: "none" (or an empty name) for no sound, otherwise a WAV or MP3 file to
// import, checked with checkImportedSound.
Status setImportedSound(ConversionSettings& settings, const std::string& file);

// The checks made before a conversion starts: an imported sound must exist, be a .wav or
// .mp3 file, be 16-bit when it is a WAV for MPEG output and a constant-bit-rate MP3 for AVI
// output, and picture series take no sound. Fails with the message for the user.
Status checkImportedSound(const ConversionSettings& settings);

} // namespace swivio
