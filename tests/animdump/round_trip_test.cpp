// animconv run as its own process on frames of every depth; its stream read back must give every pixel the
// quantized colour of its source pixel.
#include <gtest/gtest.h>

#include "animdump/stream_report.h"
#include "stream_frames.h"

namespace dumptest {
namespace {

using namespace testsupport;

class RoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(RoundTrip, EveryPixelIsTheQuantizedSourceColour) {
    const FreshFolder scratch;
    const std::string& folder = scratch.path();
    const std::string streamPath = folder + "/anim.bin";
    const std::vector<SourceFrame> frames = mixedDepthFrames();
    ASSERT_EQ(convertFrames(ANIMCONV_PATH, frames, GetParam(), streamPath, folder).status, 0);

    const std::vector<std::uint8_t> stream = readFile(streamPath).value_or(Bytes{});
    std::string report;
    animdump::StreamTotals totals;
    ASSERT_EQ(animdump::checkStream({stream.data(), stream.size()}, totals, report), animconv::Problem::none)
        << report;
    ASSERT_EQ(totals.frames, frames.size());

    const std::vector<DecodedFrame> decoded = decodeStream(stream);
    ASSERT_EQ(decoded.size(), frames.size());
    for (std::size_t f = 0; f < frames.size(); ++f) {
        std::size_t mismatches = 0;
        for (std::size_t i = 0; i < animconv::kFramePixels; ++i) {
            if (!(decoded[f].colours[i] == frames[f].quantized[i])) {
                ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0u) << "frame " << f + 1;
    }

    // Each frame's wait byte, and the unchanged pixels delta mode must find. Frame 3 (24-bit) repeats
    // frame 2 (8-bit) outside its block and frame 6 (24-bit) repeats frame 5 (1-bit) except one pixel: the
    // comparison is on colours, whatever the depth.
    const bool delta = std::string(GetParam()) == "use0xfe";
    std::vector<std::size_t> unchanged;
    std::size_t offset = 0;
    for (std::size_t f = 0; f < frames.size(); ++f) {
        animconv::FrameSummary summary;
        animconv::ProblemReport problem;
        ASSERT_EQ(
            animconv::readFrame({stream.data(), stream.size()}, offset, f + 1, summary, problem, nullptr),
            animconv::Problem::none);
        offset += summary.bytes;
        unchanged.push_back(summary.unchangedPixels);
        EXPECT_EQ(summary.waitByte, frames[f].wait);
        if (!delta || f == 0) {
            EXPECT_EQ(summary.unchangedPixels, 0u) << "frame " << f + 1;
        }
    }
    if (delta) {
        EXPECT_EQ(unchanged[2], animconv::kFramePixels - kFrame3ChangedPixels);
        EXPECT_EQ(unchanged[5], animconv::kFramePixels - 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, RoundTrip, ::testing::Values("use0xfe", "no0xfe"),
                         [](const auto& instance) { return std::string(instance.param); });

}  // namespace
}  // namespace dumptest
