#pragma once

// The demo movie recorded frame by frame at 640 x 480, as `swivio-cli convert demo.swf
// --size 640x480` records it, held in memory for the benchmarks that encode it.
#include <string>
#include <utility>
#include <vector>

#include "base/frame.h"
#include "capture/conversion_task.h"
#include "capture/frame_store_reader.h"
#include "capture/recording_session.h"
#include "settings/settings_rules.h"
#include "tests/support/demo_movie.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio::bench {

inline constexpr int kDemoWidth = 640;
inline constexpr int kDemoHeight = 480;

// Empty when the recording fails.
inline const std::vector<Frame>& demoFrames() {
    static const std::vector<Frame> frames = [] {
        std::vector<Frame> pictures;
        testkit::TempDir dir;
        const std::string movie = dir.file("demo.swf");
        if (!testkit::writeBytes(movie, testkit::demoMovie()))
            return pictures;
        auto source = openMovieSource(movie);
        if (!source)
            return pictures;
        ConversionSettings s;
        resetForMovie(s, movie, movieProperties(**source));
        s.conversionMode = ConversionMode::FrameByFrame;
        s.audioSource = AudioSource::None;
        s.aviKeepOriginalSize = false;
        s.aviWidth = kDemoWidth;
        s.aviHeight = kDemoHeight;
        s.tempPath = dir.path().string();
        RecordingSession recording(s, std::move(*source));
        if (!recording.open() || !recording.runFrameByFrame() || !recording.finish())
            return pictures;
        FrameStoreReader reader(recording.fileList(), kDemoWidth, kDemoHeight);
        Frame frame;
        while (reader.advance() && reader.decodeInto(frame))
            pictures.push_back(frame);
        recording.discardFrames();
        return pictures;
    }();
    return frames;
}

} // namespace swivio::bench
