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
    VideoPicture(const DisplayObject& object, const VideoStreamDefinition& definition)
        : m_object(object), m_character(object.character()), m_definition(definition),
          m_stream(definition.codecId, definition.deblocking,
                   framesOf(object, object.characterId())) {}

    std::shared_ptr<const Shape> shape() override {
        // A PlaceObject that swapped the character leaves this picture behind.
        if (m_object.character() != m_character)
            return nullptr;
        const video::VideoImage* image = m_stream.show(m_object.ratio);
        if (!image) {
            m_shape = nullptr;
            return nullptr;
        }
        if (m_stream.pictureSerial() != m_serial || !m_shape) {
            m_serial = m_stream.pictureSerial();
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
            const int w = m_definition.width ? m_definition.width : image->width;
            const int h = m_definition.height ? m_definition.height : image->height;
            m_shape = videoShape(m_bitmap, w * 20, h * 20, m_definition.smoothing);
        }
        return m_shape;
    }

private:
    const DisplayObject& m_object;
    const Character* m_character;
    const VideoStreamDefinition& m_definition;
    video::VideoStream m_stream;
    uint64_t m_serial = 0;
    std::shared_ptr<Bitmap> m_bitmap;
    std::shared_ptr<const Shape> m_shape;
};

// Draws nothing: a stream whose definition could not be read.
class NoPicture : public ScriptPicture {
public:
    std::shared_ptr<const Shape> shape() override { return nullptr; }
};

} // namespace

std::shared_ptr<ScriptPicture> makeVideoPicture(const DisplayObject& object) {
    const Character* c = object.character();
    if (!c || !c->video)
        return std::make_shared<NoPicture>();
    return std::make_shared<VideoPicture>(object, *c->video);
}

} // namespace swivio::swf
