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
    // A sound that could not be added is a warning of openAviOutput, not a failure here.
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

Result<std::unique_ptr<FrameWriter>> openAviOutput(const std::string& path, int width, int height,
                                                   double frameRate, uint32_t fourCC,
                                                   const AviSoundOptions& sound, int quality) {
    using R = Result<std::unique_ptr<FrameWriter>>;
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    auto output = std::make_unique<AviFrameWriter>();
    if (!output->writer().open(path, width, height, frameRate, fourCC, quality))
        return R::failure(messageOf(output->writer()));
    std::string soundError;
    if (!sound.path.empty() && !output->writer().addAudio(sound.path, sound.mode, sound.bitRate))
        soundError = messageOf(output->writer());
    R opened(std::move(output));
    if (!soundError.empty())
        opened.warn(soundError);
    return opened;
}

} // namespace swivio
