#include "encode/mpeg/mpeg_output.h"

#include "encode/mpeg/mpeg_writer.h"

namespace swivio {

namespace {

class MpegFrameWriter final : public FrameWriter {
public:
    explicit MpegFrameWriter(std::unique_ptr<MpegWriter> writer) : m_writer(std::move(writer)) {}

    bool writeFrame(const Frame& frame, int /*index*/) override {
        const MpegOutputPreset* preset = m_writer->preset();
        if (frame.width() != preset->width || frame.height() != preset->height) {
            if (m_error.empty())
                m_error = "a " + std::to_string(frame.width()) + " x " +
                          std::to_string(frame.height()) + " frame does not fit " + preset->name;
            return true;
        }
        m_writer->writeFrame(frame.bytes());
        return true;
    }

    bool finish() override {
        const bool ok = m_writer->close();
        return ok && m_error.empty();
    }

    std::string errorString() const override {
        return m_error.empty() ? m_writer->errorString() : m_error;
    }

private:
    std::unique_ptr<MpegWriter> m_writer;
    std::string m_error;
};

} // namespace

Result<std::unique_ptr<FrameWriter>> openMpegOutput(const std::string& path, int mpegType,
                                                    const std::string& soundPath) {
    auto writer = std::make_unique<MpegWriter>();
    if (!writer->selectPreset(mpegType))
        return Status::failure("unknown MPEG type " + std::to_string(mpegType));
    if (!writer->open(path, soundPath))
        return Status::failure(writer->errorString());
    return std::unique_ptr<FrameWriter>(std::make_unique<MpegFrameWriter>(std::move(writer)));
}

} // namespace swivio
