#include "encode/avi/avi_frame_writer.h"

#include "base/output_file.h"
#include "encode/avi/avi_writer.h"

namespace swivio {

namespace {

class AviFrameWriter final : public FrameWriter {
public:
    explicit AviFrameWriter(OutputFile output) : m_output(std::move(output)) {}

    AviWriter& writer() { return m_writer; }
    const OutputFile& output() const { return m_output; }

    bool writeFrame(const Frame& frame, int) override { return m_writer.writeFrame(frame); }
    bool finish() override {
        if (!m_writer.finish())
            return false;
        Status placed = m_output.commit();
        m_placeError = placed.message();
        return placed.ok();
    }
    void abandon() override {
        (void)m_writer.finish();
        m_output.discard();
    }
    // A sound that could not be added is a warning of openAviOutput, not a failure here.
    std::string errorString() const override {
        if (!m_placeError.empty())
            return m_placeError;
        return m_writer.soundOnlyFailed() ? std::string() : m_output.named(m_writer.errorString());
    }

private:
    // Declared first so that it goes last: the AVI file is closed before an uncommitted
    // temporary file is removed.
    OutputFile m_output;
    AviWriter m_writer;
    std::string m_placeError;
};

std::string messageOf(const AviWriter& writer) {
    return writer.userMessage().empty() ? writer.errorString() : writer.userMessage();
}

} // namespace

Result<std::unique_ptr<FrameWriter>> openAviOutput(const std::string& path, int width, int height,
                                                   double frameRate, uint32_t fourCC,
                                                   const AviSoundOptions& sound, int quality) {
    using R = Result<std::unique_ptr<FrameWriter>>;
    // The file is written beside `path` and renamed over it by finish(): what is at `path`
    // stays untouched until the output is complete.
    Result<OutputFile> file = OutputFile::create(path);
    if (!file)
        return R::failure(std::string(kAviCreateFailed) + " " + file.message());
    auto output = std::make_unique<AviFrameWriter>(std::move(*file));
    if (!output->writer().open(output->output().path(), width, height, frameRate, fourCC,
                               quality))
        return R::failure(output->output().named(messageOf(output->writer())));
    std::string soundError;
    if (!sound.path.empty() && !output->writer().addAudio(sound.path, sound.mode, sound.bitRate, sound.exactPace))
        soundError = output->output().named(messageOf(output->writer()));
    R opened(std::move(output));
    if (!soundError.empty())
        opened.warn(soundError);
    return opened;
}

} // namespace swivio
