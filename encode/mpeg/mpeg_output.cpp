#include "encode/mpeg/mpeg_output.h"

#include "base/output_file.h"
#include "encode/mpeg/mpeg_writer.h"

namespace swivio {

namespace {

class MpegFrameWriter final : public FrameWriter {
public:
    MpegFrameWriter(OutputFile output, std::unique_ptr<MpegWriter> writer)
        : m_output(std::move(output)), m_writer(std::move(writer)) {}

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
        if (!ok || !m_error.empty())
            return false;
        Status placed = m_output.commit();
        if (!placed)
            m_error = placed.message();
        return placed.ok();
    }

    void abandon() override {
        (void)m_writer->close();
        m_output.discard();
    }

    std::string errorString() const override {
        return m_error.empty() ? m_output.named(m_writer->errorString()) : m_error;
    }

private:
    // Declared first so that it goes last: the file is closed before an uncommitted
    // temporary file is removed.
    OutputFile m_output;
    std::unique_ptr<MpegWriter> m_writer;
    std::string m_error;
};

} // namespace

Result<std::unique_ptr<FrameWriter>> openMpegOutput(const std::string& path, int mpegType,
                                                    const std::string& soundPath) {
    auto writer = std::make_unique<MpegWriter>();
    if (!writer->selectPreset(mpegType))
        return Status::failure("unknown MPEG type " + std::to_string(mpegType));
    // The file is written beside `path` and renamed over it by finish().
    Result<OutputFile> file = OutputFile::create(path);
    if (!file)
        return Status::failure(file.message());
    if (!writer->open(file->path(), soundPath))
        return Status::failure(file->named(writer->errorString()));
    return std::unique_ptr<FrameWriter>(
        std::make_unique<MpegFrameWriter>(std::move(*file), std::move(writer)));
}

} // namespace swivio
