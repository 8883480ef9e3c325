// Whole FLV files, as a user's file would arrive: opened, played to the end (every picture
// painted, every frame's sound taken), seeked back and forth, then driven by requests.
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "base/frame.h"
#include "scratch_file.h"
#include "source/flv_player.h"
#include "source/flv_request.h"

// Damaged input makes the decoders talk; what they say is not the finding.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string path = swivio::fuzz::writeScratchFile(data, size, "flv");
    if (path.empty())
        return 0;
    swivio::FlvPlayer player;
    if (!player.open(path))
        return 0;
    swivio::Frame frame(64, 48);
    const swivio::SourceViewport view{64, 48, 0, 0, 0, 0, 64, 48};
    player.restart();
    for (int i = 0; i < 400 && !player.atEnd(); ++i) {
        player.paint(frame, view);
        player.takeFrameSound(0);
        player.tick();
    }
    for (int f : {7, 2, 50, 0}) {
        player.gotoFrame(f);
        player.paint(frame, view);
    }
    player.callFunction(swivio::makeFlvRequest("Seek", {1.0}));
    player.callFunction(swivio::makeFlvRequest("Play", {}));
    player.tick();
    player.takeFrameSound(30);
    for (const char* name : {"g_curTime", "g_totalTime", "g_width", "g_frameRate"})
        player.getVariable(name);
    return 0;
}
