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

// The sample animation as animconv writes it (12 frames, delta mode), cut after every byte: a cut at a
// frame's end leaves a valid stream of the frames before it, any other cut is the frame it falls in cut
// short, named at that frame's start. Read from a buffer of exactly the bytes left (a read past them is a
// sanitizer's finding), and again frame by frame from a buffer refilled at every frame's start, as animmake
// reads a stream through its window: the same verdict at the same bytes.
TEST(StreamCut, ARealStreamCutAtEveryByte) {
    const FreshFolder scratch;
    const std::string& folder = scratch.path();
    std::vector<std::string> arguments = {"use0xfe", folder + "/anim.bin"};
    for (int i = 1; i <= 12; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/examples/frame-%02d.bmp", i);
        arguments.push_back(std::string(ANIMCONV_SOURCE_DIR) + name);
        arguments.push_back(std::to_string(i * 21));
    }
    ASSERT_EQ(runProgram(ANIMCONV_PATH, arguments, folder).status, 0);
    const Bytes stream = readFile(folder + "/anim.bin").value_or(Bytes{});
    std::vector<std::size_t> ends = {0};
    while (ends.back() < stream.size()) {
        animconv::FrameSummary summary;
        animconv::ProblemReport report;
        ASSERT_EQ(animconv::readFrame({stream.data(), stream.size()}, ends.back(), ends.size(), summary,
                                      report, nullptr),
                  animconv::Problem::none);
        ends.push_back(ends.back() + summary.bytes);
    }
    ASSERT_EQ(ends.size(), 13u);

    std::size_t frame = 0;  // the frame the cut falls in, from 0
    for (std::size_t length = 0; length <= stream.size(); ++length) {
        SCOPED_TRACE(length);
        if (frame < 12 && length == ends[frame + 1]) {
            ++frame;
        }
        const Bytes cut(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(length));
        std::string report;
        animdump::StreamTotals totals;
        const animconv::Problem problem = animdump::checkStream({cut.data(), cut.size()}, totals, report);
        const std::string verdict = report.substr(report.rfind('\n', report.size() - 2) + 1);
        const bool atFrameEnd = length == ends[frame];
        if (length == 0) {
            EXPECT_EQ(problem, animconv::Problem::emptyFile);
        } else if (atFrameEnd) {
            EXPECT_EQ(problem, animconv::Problem::none);
            EXPECT_EQ(totals.frames, frame);
        } else {
            EXPECT_TRUE(problem == animconv::Problem::endsInRunRecord ||
                        problem == animconv::Problem::endsBeforeTerminator ||
                        problem == animconv::Problem::endsBeforeWaitByte)
                << verdict;
            EXPECT_EQ(verdict.rfind("invalid: frame " + std::to_string(frame + 1) + " at byte " +
                                        std::to_string(ends[frame]) + ": truncated: the file ends ",
                                    0),
                      0u)
                << verdict;
        }

        // Frame by frame, each from a buffer of its own: the bytes from its start to the cut.
        animconv::Problem refilled = length == 0 ? animconv::Problem::emptyFile : animconv::Problem::none;
        for (std::size_t f = 0; f < 12 && ends[f] < length && refilled == animconv::Problem::none; ++f) {
            const Bytes window(cut.begin() + static_cast<std::ptrdiff_t>(ends[f]), cut.end());
            animconv::FrameSummary summary;
            animconv::ProblemReport where;
            animconv::ReadRules rules;
            rules.firstOfRun = f == 0;
            refilled =
                animconv::readFrame({window.data(), window.size()}, 0, f + 1, rules, summary, where, nullptr);
            if (refilled == animconv::Problem::none) {
                EXPECT_EQ(summary.bytes, ends[f + 1] - ends[f]);
            } else {
                where.frameOffset += ends[f];
                where.byteOffset += ends[f];
                EXPECT_EQ(animconv::verdictLine(where), verdict);
            }
        }
        EXPECT_EQ(refilled, problem);
    }
}

}  // namespace
}  // namespace dumptest
