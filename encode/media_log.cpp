#include "encode/media_log.h"

#include <cstdlib>

extern "C" {
#include <libavutil/log.h>
}

namespace swivio {

void quietMediaLibraryLogs() {
    av_log_set_level(AV_LOG_ERROR);
    // The SVT-AV1 encoder prints its banner itself, not through libav's log; its own
    // variable lowers it to errors. A value the user set is kept.
    setenv("SVT_LOG", "1", 0);
}

} // namespace swivio
