#include "encode/video_file/video_file_writer.h"

#include <algorithm>
#include <cmath>

#include "base/output_file.h"
#include "clib/ffmpeg_encode.h"

namespace swivio {

namespace {

// Opus and AAC both code 48 kHz well; Opus takes nothing else.
constexpr int kSoundRate = 48000;

const char* muxerName(VideoFileContainer container) {
    switch (container) {
    case VideoFileContainer::Mp4:
        return "mp4";
    case VideoFileContainer::Mkv:
        return "matroska";
    case VideoFileContainer::WebM:
        return "webm";
    }
    return "mp4";
}

} // namespace

VideoFileWriter::~VideoFileWriter() {
    if (isOpen())
        close();
}

bool VideoFileWriter::fail(std::string message) {
    if (m_error.empty())
        m_error = std::move(message);
    return false;
}

bool VideoFileWriter::open(const std::string& path, const VideoFileOptions& options) {
    if (isOpen())
        return fail("the video file writer is already open");
    m_error.clear();
    m_framesWritten = 0;
    // 4:2:0 pictures have one colour sample per 2 x 2 pixels.
    if (options.width < 2 || options.height < 2 || options.width % 2 || options.height % 2 ||
        options.width > 16384 || options.height > 16384)
        return fail("a video file needs an even frame size of at least 2 x 2 pixels, not " +
                    std::to_string(options.width) + " x " + std::to_string(options.height));
    if (!(options.frameRate > 0) || !std::isfinite(options.frameRate) || options.frameRate > 1000)
        return fail("the frame rate " + std::to_string(options.frameRate) + " is out of range");
    m_width = options.width;
    m_height = options.height;

    const AVOutputFormat* format = av_guess_format(muxerName(options.container), nullptr, nullptr);
    if (!format)
        return fail(std::string("this FFmpeg has no ") + muxerName(options.container) +
                    " multiplexer");
    // The "file:" prefix keeps a name such as "http:x.mp4" a plain file name.
    const std::string url = "file:" + path;
    AVFormatContext* ctx = nullptr;
    int rc = avformat_alloc_output_context2(&ctx, format, nullptr, url.c_str());
    m_output.reset(ctx);
    if (rc < 0 || !ctx) {
        release();
        return fail("cannot set up the multiplexer: " + clib::ffmpegErrorText(rc));
    }
    if (!openVideo(options) || (!options.soundPath.empty() && !openSound(options))) {
        release();
        return false;
    }
    rc = avio_open(&ctx->pb, url.c_str(), AVIO_FLAG_WRITE);
    if (rc < 0) {
        release();
        return fail("cannot create " + path + ": " + clib::ffmpegErrorText(rc));
    }
    AVDictionary* muxOptions = nullptr;
    // The index goes in front of the pictures: players can start before the file is whole.
    if (options.container == VideoFileContainer::Mp4)
        av_dict_set(&muxOptions, "movflags", "+faststart", 0);
    rc = avformat_write_header(ctx, &muxOptions);
    av_dict_free(&muxOptions);
    if (rc < 0) {
        release();
        return fail("cannot start the video file " + path + ": " + clib::ffmpegErrorText(rc));
    }
    return true;
}

bool VideoFileWriter::openVideo(const VideoFileOptions& options) {
    std::string error;
    const AVCodec* encoder = findVideoEncoder(options.codec, error);
    if (!encoder)
        return fail(error);
    m_video.reset(avcodec_alloc_context3(encoder));
    m_packet.reset(av_packet_alloc());
    m_picture.reset(av_frame_alloc());
    if (!m_video || !m_packet || !m_picture)
        return fail("out of memory for the video encoder");
    AVCodecContext* c = m_video.get();
    AVDictionary* encoderOptions = nullptr;
    configureVideoFileEncoder(c, encoder, options, &encoderOptions);
    if (m_output->oformat->flags & AVFMT_GLOBALHEADER)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int rc = avcodec_open2(c, encoder, &encoderOptions);
    av_dict_free(&encoderOptions);
    if (rc < 0)
        return fail(std::string("cannot open the ") + encoder->name +
                    " encoder: " + clib::ffmpegErrorText(rc));

    m_videoStream = addCodedStream(m_output.get(), c, "video", error);
    if (!m_videoStream)
        return fail(error);
    m_videoStream->avg_frame_rate = c->framerate;
    m_videoStream->sample_aspect_ratio = c->sample_aspect_ratio;
    // Apple's players take H.265 in MP4 only under this tag.
    if (options.container == VideoFileContainer::Mp4 && c->codec_id == AV_CODEC_ID_HEVC)
        m_videoStream->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');

    m_picture->format = AV_PIX_FMT_YUV420P;
    m_picture->width = m_width;
    m_picture->height = m_height;
    rc = av_frame_get_buffer(m_picture.get(), 0);
    if (rc < 0)
        return fail("cannot allocate the YUV picture: " + clib::ffmpegErrorText(rc));
    m_scaler.reset(sws_getContext(m_width, m_height, AV_PIX_FMT_BGR24, m_width, m_height,
                                  AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!m_scaler)
        return fail("cannot convert BGR24 pictures to YUV 4:2:0");
    // The conversion uses the matrix the stream is tagged with, into the limited range.
    const int* matrix =
        sws_getCoefficients(usesBt709(m_width, m_height) ? SWS_CS_ITU709 : SWS_CS_ITU601);
    sws_setColorspaceDetails(m_scaler.get(), matrix, 1, matrix, 0, 0, 1 << 16, 1 << 16);
    return true;
}

bool VideoFileWriter::openSound(const VideoFileOptions& options) {
    std::string error;
    const AVCodec* encoder = findSoundEncoder(options.sound, error);
    if (!encoder)
        return fail(error);
    m_audio = std::make_unique<MpegAudioEncoder>();
    const bool globalHeader = (m_output->oformat->flags & AVFMT_GLOBALHEADER) != 0;
    if (!m_audio->open(encoder, kSoundRate, options.soundBitRate, globalHeader, error))
        return fail(error);
    m_sound = openMpegSoundSource(options.soundPath, error);
    if (!m_sound)
        return fail(error);
    m_audioStream = addCodedStream(m_output.get(), m_audio->context(), "sound", error);
    if (!m_audioStream)
        return fail(error);
    m_audioSink = [this](AVPacket& p) { return writePacket(p, m_audio->context(), m_audioStream); };
    m_soundFeed.start(m_audio.get(), m_sound.get(), &m_audioSink);
    return true;
}

bool VideoFileWriter::writePacket(AVPacket& packet, const AVCodecContext* codec, AVStream* stream) {
    std::string error;
    return writeCodedPacket(m_output.get(), packet, codec, stream, "video file", error) ||
           fail(error);
}

bool VideoFileWriter::encodePicture(const AVFrame* picture) {
    const clib::EncodeStatus status =
        clib::encodeFrame(m_video.get(), picture, m_packet.get(), [this](AVPacket& packet) {
            if (packet.duration == 0)
                packet.duration = 1;
            return writePacket(packet, m_video.get(), m_videoStream);
        });
    std::string error;
    if (!status.report(error, "the video encoder refused a picture", "the video encoder failed"))
        return error.empty() ? false : fail(error);
    return true;
}

bool VideoFileWriter::writeFrame(const Frame& frame) {
    if (!isOpen())
        return fail("the video file writer is not open");
    if (frame.width() != m_width || frame.height() != m_height)
        return fail("a " + std::to_string(frame.width()) + " x " + std::to_string(frame.height()) +
                    " frame does not fit the " + std::to_string(m_width) + " x " +
                    std::to_string(m_height) + " video");
    // The encoder may still hold the last picture: writing into it needs buffers of its own.
    int rc = av_frame_make_writable(m_picture.get());
    if (rc < 0)
        return fail("cannot reuse the YUV picture: " + clib::ffmpegErrorText(rc));
    // Starting at the last stored row with a negative stride reads the frame top row first.
    const int stride = int(frame.stride());
    const uint8_t* src[1] = {frame.bytes().data() + std::ptrdiff_t(m_height - 1) * stride};
    const int srcStride[1] = {-stride};
    sws_scale(m_scaler.get(), src, srcStride, 0, m_height, m_picture->data, m_picture->linesize);
    m_picture->pts = m_framesWritten;
    if (!encodePicture(m_picture.get()))
        return false;
    ++m_framesWritten;
    std::string soundError;
    if (m_audio && !m_soundFeed.catchUp(m_framesWritten, m_video->time_base, soundError))
        fail(soundError);
    return true;
}

bool VideoFileWriter::close() {
    if (!isOpen())
        return m_error.empty();
    (void)encodePicture(nullptr);
    std::string error;
    if (m_audio && !m_audio->flush(m_audioSink, error) && !error.empty())
        fail(error);
    endMuxedFile(m_output.get(), "video file", [this](std::string text) { fail(std::move(text)); });
    release();
    return m_error.empty();
}

void VideoFileWriter::release() {
    // The sink points at the stream: drop it first.
    m_audioSink = nullptr;
    m_soundFeed = SoundFeed();
    m_sound.reset();
    m_audio.reset();
    m_scaler.reset();
    m_picture.reset();
    m_packet.reset();
    m_video.reset();
    m_videoStream = nullptr;
    m_audioStream = nullptr;
    m_output.reset();
}

namespace {

class VideoFileFrameWriter final : public FrameWriter {
public:
    VideoFileFrameWriter(OutputFile output, std::unique_ptr<VideoFileWriter> writer)
        : m_output(std::move(output)), m_writer(std::move(writer)) {}

    bool writeFrame(const Frame& frame, int /*index*/) override {
        return m_writer->writeFrame(frame);
    }

    bool finish() override {
        if (!m_writer->close())
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
    std::unique_ptr<VideoFileWriter> m_writer;
    std::string m_error;
};

} // namespace

Result<std::unique_ptr<FrameWriter>> openVideoFileOutput(const std::string& path,
                                                         const VideoFileOptions& options) {
    using R = Result<std::unique_ptr<FrameWriter>>;
    // A sound that cannot be read leaves the video without sound, as an AVI file does; the
    // conversion says so.
    VideoFileOptions chosen = options;
    std::string soundError;
    if (!chosen.soundPath.empty() && !openMpegSoundSource(chosen.soundPath, soundError)) {
        soundError += " (" + chosen.soundPath + "): " + path + " has no sound.";
        chosen.soundPath.clear();
    } else {
        soundError.clear();
    }
    Result<OutputFile> file = OutputFile::create(path);
    if (!file)
        return Status::failure(file.message());
    auto writer = std::make_unique<VideoFileWriter>();
    if (!writer->open(file->path(), chosen))
        return Status::failure(file->named(writer->errorString()));
    R result(std::unique_ptr<FrameWriter>(
        std::make_unique<VideoFileFrameWriter>(std::move(*file), std::move(writer))));
    if (!soundError.empty())
        result.warn(soundError);
    return result;
}

} // namespace swivio
