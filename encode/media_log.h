#pragma once

namespace swivio {

// Keeps the media libraries' own notices (encoder banners, deprecation notes) off standard
// error: only their errors are printed. The command line calls it once at start.
void quietMediaLibraryLogs();

} // namespace swivio
