#include "app/crop/crop_canvas_model.h"

#include <algorithm>
#include <cstdint>

#include "crop/watermark_rules.h"

namespace swivio::app {

namespace {

// Products of canvas and movie sizes overflow 32 bits on large movies; divisions truncate.
int mulDiv(int64_t a, int64_t b, int64_t c) {
    return c == 0 ? 0 : int(a * b / c);
}

CanvasRect inflated(const CanvasRect& r, int by) {
    return {r.left - by, r.top - by, r.right + by, r.bottom + by};
}

// Pulls `r` inside `within` (side by side: a side past the container stops at it).
void keepInside(CanvasRect& r, const CanvasRect& within) {
    r.left = std::clamp(r.left, within.left, within.right);
    r.right = std::clamp(r.right, r.left, within.right);
    r.top = std::clamp(r.top, within.top, within.bottom);
    r.bottom = std::clamp(r.bottom, r.top, within.bottom);
}

bool movesLeft(int h) {
    return h == 0 || h == 3 || h == 7;
}
bool movesRight(int h) {
    return h == 1 || h == 2 || h == 5;
}
bool movesTop(int h) {
    return h == 0 || h == 1 || h == 4;
}
bool movesBottom(int h) {
    return h == 2 || h == 3 || h == 6;
}

} // namespace

CanvasRect layoutPicture(int canvasWidth, int canvasHeight, int snapshotWidth, int snapshotHeight) {
    if (snapshotWidth <= 0 || snapshotHeight <= 0 || canvasWidth <= 20 || canvasHeight <= 20)
        return {};
    CanvasRect p;
    if (double(snapshotWidth) / snapshotHeight >= double(canvasWidth) / canvasHeight) {
        const int height = mulDiv(canvasWidth - 20, snapshotHeight, snapshotWidth);
        p = {10, (canvasHeight - height) / 2, canvasWidth - 10, 0};
        p.bottom = p.top + height;
    } else {
        const int width = mulDiv(canvasHeight - 20, snapshotWidth, snapshotHeight);
        p = {(canvasWidth - width) / 2, 10, 0, canvasHeight - 10};
        p.right = p.left + width;
    }
    return p;
}

bool handleExists(const CanvasRect& rect, int handle) {
    if (handle == 4 || handle == 6)
        return rect.width() - 3 * kHandleSize > 4;
    if (handle == 5 || handle == 7)
        return rect.height() - 3 * kHandleSize > 4;
    return handle >= 0 && handle <= 3;
}

CanvasRect handleSquare(TrackerKind kind, const CanvasRect& rect, int handle) {
    int s = kHandleSize;
    const bool inside = kind == TrackerKind::Watermark;
    const int smaller = std::min(rect.width(), rect.height());
    if (inside && 2 * s > smaller)
        s = std::max(0, smaller / 2);
    const CanvasRect f = inflated(rect, inside ? 1 : s);
    const int fw = f.width(), fh = f.height();
    int left = f.left, top = f.top;
    switch (handle) {
    case 0:
        break;
    case 1:
        left = f.right - s;
        break;
    case 2:
        left = f.right - s;
        top = f.bottom - s;
        break;
    case 3:
        top = f.bottom - s;
        break;
    case 4:
        left = f.left + (fw - s) / 2;
        break;
    case 5:
        left = f.right - s;
        top = f.top + (fh - s) / 2;
        break;
    case 6:
        left = f.left + (fw - s) / 2;
        top = f.bottom - s;
        break;
    case 7:
        top = f.top + (fh - s) / 2;
        break;
    default:
        return {};
    }
    return {left, top, left + s, top + s};
}

int hitHandle(TrackerKind kind, const CanvasRect& rect, int x, int y) {
    const CanvasRect whole = inflated(rect, kind == TrackerKind::Crop ? kHandleSize : 1);
    if (!whole.contains(x, y))
        return kNoHandle;
    for (int h = 0; h < 8; ++h) {
        if (handleExists(rect, h) && handleSquare(kind, rect, h).contains(x, y))
            return h;
    }
    return inflated(rect, 1).contains(x, y) ? kMoveHandle : kNoHandle;
}

CanvasCursor handleCursor(int handle) {
    switch (handle) {
    case 0:
    case 2:
        return CanvasCursor::SizeNwSe;
    case 1:
    case 3:
        return CanvasCursor::SizeNeSw;
    case 4:
    case 6:
        return CanvasCursor::SizeVertical;
    case 5:
    case 7:
        return CanvasCursor::SizeHorizontal;
    case kMoveHandle:
        return CanvasCursor::Move;
    default:
        return CanvasCursor::Arrow;
    }
}

std::string opacityLabel(int opacity) {
    return std::to_string(std::clamp(opacity, 0, 255) * 100 / 255) + "%";
}

void CropCanvasModel::setSnapshot(int canvasWidth, int canvasHeight, int snapshotWidth,
                                  int snapshotHeight, int movieWidth, int movieHeight,
                                  MovieRect crop) {
    m_picture = layoutPicture(canvasWidth, canvasHeight, snapshotWidth, snapshotHeight);
    m_snapshotWidth = std::max(snapshotWidth, 0);
    m_snapshotHeight = std::max(snapshotHeight, 0);
    m_movieWidth = std::max(movieWidth, 0);
    m_movieHeight = std::max(movieHeight, 0);
    if (crop.width <= 0 || crop.height <= 0)
        crop = {0, 0, m_movieWidth, m_movieHeight};
    crop.x = std::clamp(crop.x, 0, std::max(m_movieWidth - 1, 0));
    crop.y = std::clamp(crop.y, 0, std::max(m_movieHeight - 1, 0));
    crop.width = std::clamp(crop.width, 1, std::max(m_movieWidth - crop.x, 1));
    crop.height = std::clamp(crop.height, 1, std::max(m_movieHeight - crop.y, 1));
    m_cropValues = crop;
    m_crop = cropToCanvas(crop);
    m_watermark = watermarkToCanvas(m_watermarkValues);
}

void CropCanvasModel::setWatermark(int pictureWidth, int pictureHeight, MovieRect rect) {
    m_pictureWidth = std::max(pictureWidth, 0);
    m_pictureHeight = std::max(pictureHeight, 0);
    rect.x = std::clamp(rect.x, 0, m_cropValues.width);
    rect.y = std::clamp(rect.y, 0, m_cropValues.height);
    rect.width = std::clamp(rect.width, 0, m_cropValues.width - rect.x);
    rect.height = std::clamp(rect.height, 0, m_cropValues.height - rect.y);
    m_watermarkValues = rect;
    m_watermark = watermarkToCanvas(rect);
}

void CropCanvasModel::resetWatermark(int pictureWidth, int pictureHeight) {
    const WatermarkRect r =
        defaultWatermarkRect(pictureWidth, pictureHeight, m_cropValues.width, m_cropValues.height);
    setWatermark(pictureWidth, pictureHeight, {0, 0, r.width, r.height});
}

void CropCanvasModel::applyKeepAspect() {
    if (!m_keepAspect || m_pictureWidth <= 0 || m_pictureHeight <= 0)
        return;
    CanvasRect& w = m_watermark;
    w.bottom = w.top + mulDiv(w.width(), m_pictureHeight, m_pictureWidth);
    if (w.bottom > m_crop.bottom) {
        w.bottom = m_crop.bottom;
        w.right = w.left + mulDiv(m_pictureWidth, m_crop.bottom - w.top, m_pictureHeight);
    }
    m_watermarkValues = canvasToMovie(w, m_crop.left, m_crop.top);
}

void CropCanvasModel::fullArea() {
    const int shiftX = m_picture.left - m_crop.left, shiftY = m_picture.top - m_crop.top;
    m_crop = m_picture;
    m_cropValues = {0, 0, m_movieWidth, m_movieHeight};
    if (watermarkShown()) {
        m_watermark.left += shiftX;
        m_watermark.right += shiftX;
        m_watermark.top += shiftY;
        m_watermark.bottom += shiftY;
    }
}

bool CropCanvasModel::press(int x, int y) {
    int handle = kNoHandle;
    if (watermarkShown()) {
        handle = hitHandle(TrackerKind::Watermark, m_watermark, x, y);
        m_dragKind = TrackerKind::Watermark;
    }
    if (handle == kNoHandle) {
        handle = hitHandle(TrackerKind::Crop, m_crop, x, y);
        m_dragKind = TrackerKind::Crop;
    }
    if (handle == kNoHandle)
        return false;
    m_dragHandle = handle;
    m_pressX = x;
    m_pressY = y;
    m_start = m_dragKind == TrackerKind::Crop ? m_crop : m_watermark;
    m_startCrop = m_crop;
    m_startWatermark = m_watermark;
    m_startCropValues = m_cropValues;
    m_startWatermarkValues = m_watermarkValues;
    m_bounds = dragBounds(x, y);
    return true;
}

void CropCanvasModel::moveTo(int x, int y) {
    if (!dragging())
        return;
    const int h = m_dragHandle;
    const int dx = std::clamp(x, m_bounds.left, m_bounds.right) - m_pressX;
    const int dy = std::clamp(y, m_bounds.top, m_bounds.bottom) - m_pressY;
    CanvasRect r = m_start;
    if (h == kMoveHandle) {
        r = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
    } else {
        r.left += movesLeft(h) ? dx : 0;
        r.right += movesRight(h) ? dx : 0;
        r.top += movesTop(h) ? dy : 0;
        r.bottom += movesBottom(h) ? dy : 0;
    }
    adjust(r);
    CanvasRect& current = m_dragKind == TrackerKind::Crop ? m_crop : m_watermark;
    if (r == current)
        return;
    const CanvasRect previous = current;
    current = r;
    changed(previous);
}

void CropCanvasModel::release(int x, int y) {
    moveTo(x, y);
    m_dragHandle = kNoHandle;
}

void CropCanvasModel::cancel() {
    if (!dragging())
        return;
    // The values go back too: they are what OK reads, and a cancelled drag changes nothing.
    m_crop = m_startCrop;
    m_watermark = m_startWatermark;
    m_cropValues = m_startCropValues;
    m_watermarkValues = m_startWatermarkValues;
    m_dragHandle = kNoHandle;
}

CanvasCursor CropCanvasModel::cursorAt(int x, int y) const {
    if (dragging())
        return handleCursor(m_dragHandle);
    if (watermarkShown()) {
        const int h = hitHandle(TrackerKind::Watermark, m_watermark, x, y);
        if (h != kNoHandle)
            return handleCursor(h);
    }
    return handleCursor(hitHandle(TrackerKind::Crop, m_crop, x, y));
}

CanvasRect CropCanvasModel::cropToCanvas(MovieRect crop) const {
    const CanvasRect& p = m_picture;
    if (m_movieWidth <= 0 || m_movieHeight <= 0)
        return p;
    CanvasRect c;
    c.left = p.left + mulDiv(crop.x, p.width(), m_movieWidth);
    c.top = p.top + mulDiv(p.height(), crop.y, m_movieHeight);
    c.right = c.left + mulDiv(p.width(), crop.width, m_movieWidth);
    c.bottom = c.top + mulDiv(p.height(), crop.height, m_movieHeight);
    return c;
}

CanvasRect CropCanvasModel::watermarkToCanvas(MovieRect mark) const {
    const CanvasRect& p = m_picture;
    CanvasRect w;
    w.left = m_crop.left + mulDiv(p.width(), mark.x, m_movieWidth);
    w.top = m_crop.top + mulDiv(p.height(), mark.y, m_movieHeight);
    w.right = w.left + mulDiv(p.width(), mark.width, m_movieWidth);
    w.bottom = w.top + mulDiv(p.height(), mark.height, m_movieHeight);
    return w;
}

MovieRect CropCanvasModel::canvasToMovie(const CanvasRect& r, int originX, int originY) const {
    const int pw = m_picture.width(), ph = m_picture.height();
    return {mulDiv(r.left - originX, m_movieWidth, pw), mulDiv(r.top - originY, m_movieHeight, ph),
            mulDiv(r.width(), m_movieWidth, pw), mulDiv(r.height(), m_movieHeight, ph)};
}

CanvasRect CropCanvasModel::dragBounds(int a, int b) const {
    const int h = m_dragHandle;
    const CanvasRect& c = m_crop;
    const CanvasRect& w = m_watermark;
    CanvasRect k; // inclusive pointer bounds: left..right, top..bottom
    if (m_dragKind == TrackerKind::Watermark) {
        const int bw = m_pictureWidth, bh = m_pictureHeight;
        const bool keep = m_keepAspect && bw > 0 && bh > 0;
        const int mx = mulDiv(m_picture.width(), 10, m_snapshotWidth);
        const int my = mulDiv(m_picture.height(), 10, m_snapshotHeight);
        const int dx = a - (movesRight(h) ? w.right : w.left);
        const int dy = b - (movesBottom(h) ? w.bottom : w.top);
        // The furthest the moving edge may go with the aspect kept.
        const int leftKeepTop =
            keep ? std::max(c.left, w.right - mulDiv(w.bottom - c.top, bw, bh)) : c.left;
        const int leftKeepBottom =
            keep ? std::max(c.left, w.right - mulDiv(c.bottom - w.top, bw, bh)) : c.left;
        const int rightKeepTop =
            keep ? std::min(c.right, w.left + mulDiv(w.bottom - c.top, bw, bh)) : c.right;
        const int rightKeepBottom =
            keep ? std::min(c.right, w.left + mulDiv(c.bottom - w.top, bw, bh)) : c.right;
        switch (h) {
        case 0:
            k = {leftKeepTop + dx, keep ? c.top : c.top + dy, w.right - mx + dx,
                 w.bottom - my + dy};
            break;
        case 1:
            k = {w.left + mx + dx, keep ? c.top : c.top + dy, rightKeepTop + dx,
                 w.bottom - my + dy};
            break;
        case 2:
            k = {w.left + mx + dx, w.top + my + dy, rightKeepBottom + dx,
                 keep ? c.bottom : c.bottom + dy};
            break;
        case 3:
            k = {leftKeepBottom + dx, w.top + my + dy, w.right - mx + dx,
                 keep ? c.bottom : c.bottom + dy};
            break;
        case 4:
            k = {c.left,
                 (keep ? std::max(c.top, w.bottom - mulDiv(c.right - w.left, bh, bw)) : c.top) + dy,
                 c.right, w.bottom - my + dy};
            break;
        case 5:
            k = {w.left + mx + dx, c.top, rightKeepBottom + dx, c.bottom};
            break;
        case 6:
            k = {c.left, w.top + my + dy, c.right,
                 (keep ? std::min(c.bottom, w.top + mulDiv(c.right - w.left, bh, bw)) : c.bottom) +
                     dy};
            break;
        case 7:
            k = {leftKeepBottom + dx, c.top, w.right - mx + dx, c.bottom};
            break;
        default:
            k = {c.left + (a - w.left), c.top + (b - w.top), c.right + (a - w.right),
                 c.bottom + (b - w.bottom)};
            break;
        }
    } else {
        const CanvasRect& p = m_picture;
        const bool v = watermarkShown();
        const int dx = a - (movesRight(h) ? c.right : c.left);
        const int dy = b - (movesBottom(h) ? c.bottom : c.top);
        // With a watermark shown the crop's edges stop at the watermark's.
        const int leftTo = v ? w.left + dx : p.right;
        const int rightFrom = v ? w.right + dx : p.left;
        const int topTo = v ? w.top + dy : p.bottom;
        const int bottomFrom = v ? w.bottom + dy : p.top;
        switch (h) {
        case 0:
            k = {p.left + dx, p.top + dy, leftTo, topTo};
            break;
        case 1:
            k = {rightFrom, p.top + dy, p.right + dx, topTo};
            break;
        case 2:
            k = {rightFrom, bottomFrom, p.right + dx, p.bottom + dy};
            break;
        case 3:
            k = {p.left + dx, bottomFrom, leftTo, p.bottom + dy};
            break;
        case 4:
            k = {p.left, p.top + dy, p.right, topTo};
            break;
        case 5:
            k = {rightFrom, p.top, p.right + dx, p.bottom};
            break;
        case 6:
            k = {p.left, bottomFrom, p.right, p.bottom + dy};
            break;
        case 7:
            k = {p.left + dx, p.top, leftTo, p.bottom};
            break;
        default:
            k = {p.left + (a - c.left), p.top + (b - c.top), p.right + (a - c.right),
                 p.bottom + (b - c.bottom)};
            break;
        }
    }
    // A rectangle already at its limit (or placed outside it) gives reversed bounds; the
    // pointer then stays where it was pressed on that axis rather than jumping to either end.
    if (k.left > k.right)
        k.left = k.right = a;
    if (k.top > k.bottom)
        k.top = k.bottom = b;
    return k;
}

void CropCanvasModel::adjust(CanvasRect& r) const {
    const int h = m_dragHandle;
    if (m_dragKind == TrackerKind::Crop) {
        if (h != kMoveHandle) {
            if (r.width() < kCropMinimumSide && (movesLeft(h) || movesRight(h))) {
                if (movesLeft(h))
                    r.left = r.right - kCropMinimumSide;
                else
                    r.right = r.left + kCropMinimumSide;
            }
            if (r.height() < kCropMinimumSide && (movesTop(h) || movesBottom(h))) {
                if (movesTop(h))
                    r.top = r.bottom - kCropMinimumSide;
                else
                    r.bottom = r.top + kCropMinimumSide;
            }
        }
        keepInside(r, m_picture);
        return;
    }
    const int bw = m_pictureWidth, bh = m_pictureHeight;
    if (m_keepAspect && bw > 0 && bh > 0 && h != kMoveHandle) {
        if (h == 0 || h == 1)
            r.top = r.bottom - mulDiv(r.width(), bh, bw);
        else if (h == 4 || h == 6)
            r.right = r.left + mulDiv(r.height(), bw, bh);
        else
            r.bottom = r.top + mulDiv(r.width(), bh, bw);
    }
    keepInside(r, m_crop);
}

void CropCanvasModel::changed(const CanvasRect& previous) {
    if (m_dragKind == TrackerKind::Watermark) {
        m_watermarkValues = canvasToMovie(m_watermark, m_crop.left, m_crop.top);
        return;
    }
    m_cropValues = canvasToMovie(m_crop, m_picture.left, m_picture.top);
    if (!watermarkShown())
        return;
    if (m_dragHandle == kMoveHandle) {
        // The watermark rides along with a moved crop, keeping its offset.
        const int sx = m_crop.left - previous.left, sy = m_crop.top - previous.top;
        m_watermark = {m_watermark.left + sx, m_watermark.top + sy, m_watermark.right + sx,
                       m_watermark.bottom + sy};
    } else {
        m_watermarkValues = canvasToMovie(m_watermark, m_crop.left, m_crop.top);
    }
}

} // namespace swivio::app
