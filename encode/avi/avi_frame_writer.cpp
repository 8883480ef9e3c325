#include "encode/avi/avi_frame_writer.h"

#include <filesystem>

#include "encode/avi/avi_writer.h"

namespace swivio {

namespace {

class AviFrameWriter final : public FrameWriter {
public:
    AviWriter& writer() { return m_writer; }

    bool writeFrame(const Frame& frame, int) override { return m_writer.writeFrame(frame); }
    bool finish() override { return m_writer.finish(); }
    // A sound that could not be added is reported by openAviOutput, not as a failure here.
    std::string errorString() const override {
        return m_writer.soundOnlyFailed() ? std::string() : m_writer.errorString();
    }

private:
    AviWriter m_writer;
};

std::string messageOf(const AviWriter& writer) {
    return writer.userMessage().empty() ? writer.errorString() : writer.userMessage();
}

} // namespace

std::unique_ptr<FrameWriter> openAviOutput(const std::string& path, int width, int height,
                                           double frameRate, uint32_t fourCC,
                                           const AviSoundOptions& sound, std::string* error,
                                           std::string* soundError) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    auto output = std::make_unique<AviFrameWriter>();
    if (!output->writer().open(path, width, height, frameRate, fourCC)) {
        if (error)
            *error = messageOf(output->writer());
        return nullptr;
    }
    if (!sound.path.empty()) {
        if (!output->writer().addAudio(sound.path, sound.mode, sound.bitRate) && soundError)
            *soundError = messageOf(output->writer());
    }
    return output;
}

} // namespace swivio
