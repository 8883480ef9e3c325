#include "encode/output_choices.h"

#include <gtest/gtest.h>

#include "encode/avi/video_compressor_list.h"

namespace swivio {
namespace {

// Every compressor the list shows is chosen by the FourCC and the name the list prints.
TEST(OutputChoicesTest, EveryListedCompressorIsChosenByWhatTheListPrints) {
    const std::vector<VideoCompressorInfo>& list = videoCompressors();
    for (std::size_t i = 0; i < list.size(); ++i) {
        for (const std::string& name : {videoCompressorKey(list[i]), list[i].name}) {
            ConversionSettings s;
            s.aviFourCC = 0x12345678;
            ASSERT_TRUE(setVideoCompressor(s, name)) << "'" << name << "'";
            EXPECT_EQ(s.aviFourCC, list[i].fourCC) << "'" << name << "'";
            EXPECT_EQ(s.aviCodecIndex, int32_t(i)) << "'" << name << "'";
        }
    }
    ConversionSettings s;
    EXPECT_TRUE(setVideoCompressor(s, "uncompressed"));
    EXPECT_EQ(s.aviFourCC, 0u);
    EXPECT_FALSE(setVideoCompressor(s, "no-such-codec"));
}

// The quality is taken for compressors that have one, and refused, with the reason, for
// values out of range, compressors without one and other outputs.
TEST(OutputChoicesTest, QualityNeedsACompressorThatHasOne) {
    const VideoCompressorInfo* withScale = nullptr;
    const VideoCompressorInfo* withoutScale = nullptr;
    for (const VideoCompressorInfo& info : videoCompressors())
        (info.hasQuality ? withScale : withoutScale) = &info;
    ASSERT_NE(withScale, nullptr);
    ASSERT_NE(withoutScale, nullptr); // "Uncompressed" at least

    struct Case {
        const VideoCompressorInfo* compressor;
        OutputType type;
        int quality;
        const char* message; // empty: accepted
    };
    const Case cases[] = {
        {withScale, OutputType::Avi, 1, ""},
        {withScale, OutputType::Avi, 100, ""},
        {withScale, OutputType::Avi, 0, ""},
        {withScale, OutputType::Avi, 101, "1 to 100"},
        {withScale, OutputType::Avi, -1, "1 to 100"},
        {withoutScale, OutputType::Avi, 50, "has no quality setting"},
        {withoutScale, OutputType::Avi, 0, ""},
        {withScale, OutputType::Mpeg, 50, "AVI output only"},
    };
    for (const Case& c : cases) {
        ConversionSettings s;
        s.convertType = c.type;
        s.aviFourCC = c.compressor->fourCC;
        const Status set = setVideoQuality(s, c.quality);
        const std::string label = c.compressor->name + " " + std::to_string(c.quality);
        if (*c.message == '\0') {
            EXPECT_TRUE(set) << label << ": " << set.message();
            EXPECT_EQ(s.aviQuality, c.quality) << label;
        } else {
            EXPECT_FALSE(set) << label;
            EXPECT_NE(set.message().find(c.message), std::string::npos) << set.message();
            EXPECT_EQ(s.aviQuality, 0) << label;
        }
    }
}

} // namespace
} // namespace swivio
