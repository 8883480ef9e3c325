#pragma once

#include "settings/conversion_settings.h"
#include "settings/settings_store.h"

namespace swivio {

// Reads the persisted fields, in this order: "General" ("Convert Type", "Temp Path Index",
// "Temp Path", "Conversion Mode", "Capture Cursor", "Browse Folder"), "AVI" ("Codec",
// "FourCC", "Audio Format", "Audio Channel", "Audio Sample Rate", "Audio Bit Rate"), "MPEG"
// ("Type"), "Common Audio" ("Source", "File"), "Image" ("Type", "JPEG Quality",
// "GIF Dither"), "Video File" ("Container", "Codec", "Quality", "Speed", "Frame Size",
// "Sound", "Sound Bit Rate").
//
// A missing or mistyped value gives the field's default (a first run: AVI output,
// uncompressed, recorded sound, MP3 128 kbps 44100 Hz stereo, DVD-NTSC, BMP, quality 80,
// dithering on, interactive, no cursor, target folder opened, working folder beside the
// output). A value outside its list (or a "bool" other than 0 and 1) also gives the default,
// since the option lists and the export summary index the tables with these values;
// this includes an MPEG type outside the preset table, which would otherwise leave the MPEG
// frame size and rate unset. A video codec or sound the container cannot hold takes the
// container's own (H.264 or VP9, Opus in WebM). The codec index is only checked for being non-negative: the
// codec list is only known to the AVI codec panel.
void loadSettings(ConversionSettings& settings, SettingsStore& store);

// Writes the persisted fields in this order: "General" (as above), "AVI" (as above),
// "MPEG" / "Type", "Image" ("Type", "JPEG Quality", "GIF Dither"), "Video File" (as
// above), "Common Audio" ("Source", "File"). Strings are written even when empty. Write failures are not reported
// here (the store's flush() tells them).
void saveSettings(const ConversionSettings& settings, SettingsStore& store);

// "General" / "Autofinish": whether recording finishes by itself after the last frame
// (default on). Read when the Record window opens and written when it closes.
bool readAutofinish(SettingsStore& store);
void writeAutofinish(SettingsStore& store, bool autofinish);

} // namespace swivio
