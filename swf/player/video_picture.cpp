#include "swf/player/video_picture.h"

#include "swf/video/video_stream.h"

namespace swivio::swf {

namespace {

constexpr uint16_t kNoBitmapId = 65535;

std::vector<video::EncodedVideoFrame> framesOf(const DisplayObject& object, uint16_t streamId) {
    std::vector<video::EncodedVideoFrame> frames;
    for (const DisplayObject* p = object.parent(); p && frames.empty(); p = p->parent()) {
        if (!p->timeline())
            continue;
        for (const TimelineFrame& frame : p->timeline()->frames)
            for (const TagRecord& tag : frame.videoFrames) {
                video::EncodedVideoFrame f;
                if (video::readVideoFrame(tag.body, f) && f.streamId == streamId)
                    frames.push_back(f);
            }
    }
    return frames;
}

// A rectangle of width x height twips filled with the picture stretched over it.
std::shared_ptr<const Shape> videoShape(std::shared_ptr<const Bitmap> bitmap, int32_t width,
                                        int32_t height, bool smoothing) {
    auto shape = std::make_shared<Shape>();
    shape->bounds = {0, width, 0, height};
    StyleGroup group;
    FillStyle fill;
    fill.type = smoothing ? FillType::ClippedBitmap : FillType::ClippedBitmapHard;
    fill.bitmapId = kNoBitmapId;
    fill.matrix.a = double(width) / bitmap->width;
    fill.matrix.d = double(height) / bitmap->height;
    fill.picture = std::move(bitmap);
    group.fills.push_back(std::move(fill));
    const int32_t xs[] = {0, width, width, 0, 0}, ys[] = {0, 0, height, height, 0};
    for (int i = 0; i < 4; ++i) {
        Edge e;
        e.x0 = xs[i];
        e.y0 = ys[i];
        e.x1 = xs[i + 1];
        e.y1 = ys[i + 1];
        e.fill1 = 1;
        group.edges.push_back(e);
    }
    shape->groups.push_back(std::move(group));
    return shape;
}

class VideoPicture : public ScriptPicture {
public:
    explicit VideoPicture(const DisplayObject& object) : m_object(object) {}

    std::shared_ptr<const Shape> shape() override {
        // A PlaceObject may swap the character for another stream: start over with that one.
        if (const Character* c = m_object.character(); c != m_character || !m_started) {
            m_started = true;
            m_character = c;
            m_stream.reset();
            m_bitmap.reset();
            m_shape.reset();
            if (c && c->type == CharacterType::VideoStream && c->video)
                m_stream = std::make_unique<video::VideoStream>(
                    c->video->codecId, c->video->deblocking, framesOf(m_object, c->id));
        }
        if (!m_stream)
            return nullptr;
        const VideoStreamDefinition& definition = *m_character->video;
        const video::VideoImage* image = m_stream->show(m_object.ratio);
        if (!image) {
            m_shape = nullptr;
            return nullptr;
        }
        if (m_stream->pictureSerial() != m_serial || !m_shape) {
            m_serial = m_stream->pictureSerial();
            // One bitmap for every frame of a size: the renderer's shape cache keeps the shapes
            // of recent frames alive, and a copy of the pixels for each would add up. A new
            // frame comes with a new shape, so no picture cached from the old pixels is used.
            if (!m_bitmap || m_bitmap->width != image->width || m_bitmap->height != image->height) {
                m_bitmap = std::make_shared<Bitmap>();
                m_bitmap->width = image->width;
                m_bitmap->height = image->height;
            }
            m_bitmap->pixels = image->pixels;
            m_bitmap->opaque = image->opaque;
            // The stream's declared size; a stream that declares none shows its pictures'.
            const int w = definition.width ? definition.width : image->width;
            const int h = definition.height ? definition.height : image->height;
            m_shape = videoShape(m_bitmap, w * 20, h * 20, definition.smoothing);
        }
        return m_shape;
    }

private:
    const DisplayObject& m_object;
    const Character* m_character = nullptr;
    bool m_started = false;
    std::unique_ptr<video::VideoStream> m_stream;
    uint64_t m_serial = 0;
    std::shared_ptr<Bitmap> m_bitmap;
    std::shared_ptr<const Shape> m_shape;
};

} // namespace

std::shared_ptr<ScriptPicture> makeVideoPicture(const DisplayObject& object) {
    return std::make_shared<VideoPicture>(object);
}

} // namespace swivio::swf
