#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace swivio::swf::image {

// One JPEG datastream made from a movie's JPEGTables body and a bitmap's JPEG data.
struct JpegStream {
    std::vector<uint8_t> bytes;
    int scans = 0; // start-of-scan markers seen
};

// Joins the table and image parts into one datastream that a JPEG decoder reads in one
// go: a single SOI, the segments of both parts in order, one EOI at the end. Older movies
// put an EOI+SOI pair (FF D9 FF D8) at the start of their data, and tables and image in
// one tag are separated by the same pair; such pairs are dropped. Bytes after a final EOI
// are ignored. Data that is not made of markers is passed through for the decoder to judge.
JpegStream joinJpegStream(std::span<const uint8_t> tables, std::span<const uint8_t> data);

} // namespace swivio::swf::image
