#include "stream/stream_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "animdump/stream_report.h"

namespace animdump {
namespace {

using namespace animconv;

using Bytes = std::vector<std::uint8_t>;

// Two frames, 15 bytes. Frame 1 (bytes 0-9): 32,000 x 16 (long form), 127 x 231 (short form),
// 173 x 20 (long form), wait 10. Frame 2 (bytes 10-14): 32,300 unchanged pixels, wait 5.
const Bytes kSmallStream = {0x10, 0x7D, 0x00, 0xE7, 0xFF, 0x14, 0x00, 0xAD,
                            0xFF, 0x0A, 0xFE, 0x7E, 0x2C, 0xFF, 0x05};

const std::string kHeading = "frame      offset   bytes   runs  unchanged  wait\n";
const std::string kRowFrame1 = "    1           0      10      3          0    10\n";
const std::string kRowFrame2 = "    2          10       5      1      32300     5\n";

Problem check(const Bytes& bytes, std::string& report) {
    StreamTotals totals;
    return checkStream(StreamView{bytes.data(), bytes.size()}, totals, report);
}

// The last line of the report.
std::string verdictOf(const Bytes& bytes) {
    std::string report;
    check(bytes, report);
    const std::size_t start = report.rfind('\n', report.size() - 2);
    return report.substr(start + 1);
}

TEST(StreamReport, ValidStreamListsEveryFrameAndTotals) {
    std::string report;
    EXPECT_EQ(check(kSmallStream, report), Problem::none);
    EXPECT_EQ(report, kHeading + kRowFrame1 + kRowFrame2 +
                          "total: 2 frames, 15 bytes, 4 runs, 32300 unchanged pixels\n"
                          "valid\n");
}

// The verdicts every program gives: an empty file, an image, and a run under 128 in the 3-byte form are no
// stream, as animmake refuses them.
TEST(StreamReport, NoStreamWhereAnimmakeSeesNone) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    const struct {
        Bytes bytes;
        Problem problem;
        std::string verdict;
    } cases[] = {
        {{}, Problem::emptyFile, "invalid: not an animation stream: the file is empty\n"},
        {png, Problem::otherKindOfFile, "invalid: not an animation stream: a PNG image\n"},
        {{0x10, 0x00, 0x7F, 0x11, 0x7D, 0xAD, 0xFF, 0x00},
         Problem::longFormForShortRun,
         "invalid: frame 1 at byte 0: the run record at byte 0 gives its 127 pixels in the 3-byte form\n"},
    };
    for (const auto& c : cases) {
        std::string report;
        EXPECT_EQ(check(c.bytes, report), c.problem);
        EXPECT_EQ(report, kHeading + "total: 0 frames, 0 bytes, 0 runs, 0 unchanged pixels\n" + c.verdict);
    }
}

struct CutCase {
    std::size_t length;
    Problem problem;
    std::string verdict;
};

TEST(StreamCheck, StreamCutAtEveryByte) {
    const std::string inRecord = "truncated: the file ends inside the run record at byte ";
    const std::string endsAt = "truncated: the file ends at byte ";
    const std::string frame1 = "invalid: frame 1 at byte 0: ";
    const std::string frame2 = "invalid: frame 2 at byte 10: ";
    const std::vector<CutCase> cases = {
        {0, Problem::emptyFile, "invalid: not an animation stream: the file is empty\n"},
        {1, Problem::endsInRunRecord, frame1 + inRecord + "0, after 0 of 32300 pixels\n"},
        {2, Problem::endsInRunRecord, frame1 + inRecord + "0, after 0 of 32300 pixels\n"},
        {3, Problem::endsBeforeTerminator,
         frame1 + endsAt + "3, after 32000 of 32300 pixels and before the terminator\n"},
        {4, Problem::endsInRunRecord, frame1 + inRecord + "3, after 32000 of 32300 pixels\n"},
        {5, Problem::endsBeforeTerminator,
         frame1 + endsAt + "5, after 32127 of 32300 pixels and before the terminator\n"},
        {6, Problem::endsInRunRecord, frame1 + inRecord + "5, after 32127 of 32300 pixels\n"},
        {7, Problem::endsInRunRecord, frame1 + inRecord + "5, after 32127 of 32300 pixels\n"},
        {8, Problem::endsBeforeTerminator,
         frame1 + endsAt + "8, after 32300 of 32300 pixels and before the terminator\n"},
        {9, Problem::endsBeforeWaitByte,
         frame1 + "truncated: the file ends inside the terminator at byte 8, before the wait byte\n"},
        {10, Problem::none, "valid\n"},
        {11, Problem::endsInRunRecord, frame2 + inRecord + "10, after 0 of 32300 pixels\n"},
        {12, Problem::endsInRunRecord, frame2 + inRecord + "10, after 0 of 32300 pixels\n"},
        {13, Problem::endsBeforeTerminator,
         frame2 + endsAt + "13, after 32300 of 32300 pixels and before the terminator\n"},
        {14, Problem::endsBeforeWaitByte,
         frame2 + "truncated: the file ends inside the terminator at byte 13, before the wait byte\n"},
        {15, Problem::none, "valid\n"},
    };
    ASSERT_EQ(cases.size(), kSmallStream.size() + 1);
    for (const CutCase& c : cases) {
        SCOPED_TRACE(c.length);
        const Bytes cut(kSmallStream.begin(), kSmallStream.begin() + static_cast<std::ptrdiff_t>(c.length));
        std::string report;
        EXPECT_EQ(check(cut, report), c.problem);
        EXPECT_EQ(verdictOf(cut), c.verdict);
    }
}

struct DamageCase {
    const char* name;
    Bytes bytes;
    Problem problem;
    std::string verdict;
};

Bytes withByte(std::size_t position, std::uint8_t value) {
    Bytes bytes = kSmallStream;
    bytes[position] = value;
    return bytes;
}

Bytes frame1Then(const Bytes& more) {
    Bytes bytes(kSmallStream.begin(), kSmallStream.begin() + 10);
    for (std::uint8_t byte : more) {
        bytes.push_back(byte);
    }
    return bytes;
}

TEST(StreamCheck, DamagedStreams) {
    const std::string frame1 = "invalid: frame 1 at byte 0: ";
    const std::string frame2 = "invalid: frame 2 at byte 10: ";
    const std::vector<DamageCase> cases = {
        {"marker in the first frame", withByte(0, 0xFE), Problem::unchangedInFirstFrame,
         frame1 + "the run record at byte 0 has the unchanged marker 0xFE, but no frame comes before\n"},
        {"value below the cube", withByte(0, 0x0F), Problem::invalidValue,
         frame1 + "the run record at byte 0 has the value 0x0F, neither a colour index (16..231) nor the "
                  "unchanged marker 0xFE\n"},
        {"value above the cube", withByte(3, 0xE8), Problem::invalidValue,
         frame1 + "the run record at byte 3 has the value 0xE8, neither a colour index (16..231) nor the "
                  "unchanged marker 0xFE\n"},
        {"value 0 in frame 2", withByte(13, 0x00), Problem::invalidValue,
         frame2 + "the run record at byte 13 has the value 0x00, neither a colour index (16..231) nor the "
                  "unchanged marker 0xFE\n"},
        {"terminator first", withByte(0, 0xFF), Problem::frameTooShort,
         frame1 + "the terminator at byte 0 closes the frame after 0 of 32300 pixels\n"},
        {"short run of 0", withByte(1, 0x80), Problem::emptyRun,
         frame1 + "the run record at byte 0 has length 0\n"},
        {"long run of 0", withByte(7, 0x00), Problem::emptyRun,
         frame1 + "the run record at byte 5 has length 0\n"},
        {"first run longer", withByte(1, 0x7E), Problem::runPastFrameEnd,
         frame1 + "the run of 127 pixels at byte 3 crosses the frame's end, after 32256 of 32300 pixels\n"},
        {"middle run shorter", withByte(4, 0x81), Problem::frameTooShort,
         frame1 + "the terminator at byte 8 closes the frame after 32174 of 32300 pixels\n"},
        {"terminator turned into a run", withByte(8, 0x10), Problem::runPastFrameEnd,
         frame1 + "the run of 2814 pixels at byte 8 crosses the frame's end, after 32300 of 32300 pixels\n"},
        {"whole-frame run too long", withByte(11, 0x7F), Problem::runPastFrameEnd,
         frame2 + "the run of 32556 pixels at byte 10 crosses the frame's end, after 0 of 32300 pixels\n"},
        {"32,299 pixels",
         {0x10, 0x7E, 0x2B, 0xFF, 0x00},
         Problem::frameTooShort,
         frame1 + "the terminator at byte 3 closes the frame after 32299 of 32300 pixels\n"},
        {"32,301 pixels in one run",
         {0x10, 0x7E, 0x2D, 0xFF, 0x00},
         Problem::runPastFrameEnd,
         frame1 + "the run of 32301 pixels at byte 0 crosses the frame's end, after 0 of 32300 pixels\n"},
        {"32,301 pixels in two runs",
         {0x10, 0x7E, 0x2B, 0x11, 0x82, 0xFF, 0x00},
         Problem::runPastFrameEnd,
         frame1 + "the run of 2 pixels at byte 3 crosses the frame's end, after 32299 of 32300 pixels\n"},
        {"32,299 pixels in frame 2", frame1Then({0xFE, 0x7E, 0x2B, 0xFF, 0x00}), Problem::frameTooShort,
         frame2 + "the terminator at byte 13 closes the frame after 32299 of 32300 pixels\n"},
        // Damage that still leaves a well-formed stream.
        {"another colour", withByte(10, 0x20), Problem::none, "valid\n"},
        {"another wait", withByte(9, 0xFF), Problem::none, "valid\n"},
        // The long form for a short length is not what animconv writes, but it reads without doubt.
        {"long form for 5 pixels",
         {0x10, 0x00, 0x05, 0x10, 0x7E, 0x27, 0xFF, 0x00},
         Problem::longFormForShortRun,
         "invalid: frame 1 at byte 0: the run record at byte 0 gives its 5 pixels in the 3-byte form\n"},
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string report;
        EXPECT_EQ(check(c.bytes, report), c.problem);
        EXPECT_EQ(verdictOf(c.bytes), c.verdict);
    }
}

// The rules the tests of animconv's output read with.
TEST(StreamCheck, StricterRules) {
    const StreamView frame2{kSmallStream.data() + 10, 5};
    FrameSummary summary;
    ProblemReport report;
    static FrameIndices pixels;
    ReadRules rules;
    rules.firstOfRun = true;
    EXPECT_EQ(readFrame(frame2, 0, 1, rules, summary, report, nullptr), Problem::unchangedInFirstFrame);
    rules.firstOfRun = false;
    rules.keepMarkers = true;
    ASSERT_EQ(readFrame(frame2, 0, 1, rules, summary, report, &pixels), Problem::none);
    EXPECT_EQ(std::count(pixels.values, pixels.values + kFramePixels, 0xFE), std::ptrdiff_t{kFramePixels});

    rules.rejectLongFormUnder128 = true;
    const Bytes long127 = {0x10, 0x00, 0x7F, 0x11, 0x7D, 0xAD, 0xFF, 0x00};
    EXPECT_EQ(readFrame({long127.data(), long127.size()}, 0, 1, rules, summary, report, nullptr),
              Problem::longFormForShortRun);
    EXPECT_EQ(
        verdictLine(report),
        "invalid: frame 1 at byte 0: the run record at byte 0 gives its 127 pixels in the 3-byte form\n");
    const Bytes long128 = {0x10, 0x00, 0x80, 0x11, 0x7D, 0xAC, 0xFF, 0x00};
    EXPECT_EQ(readFrame({long128.data(), long128.size()}, 0, 1, rules, summary, report, nullptr),
              Problem::none);
}

TEST(StreamDecode, UnchangedRunsKeepThePreviousFramesIndices) {
    // Frame 2 changes only pixels 100..104 of frame 1 and keeps the rest.
    const Bytes bytes = frame1Then({0xFE, 0xE4, 0x30, 0x85, 0xFE, 0x7D, 0xC3, 0xFF, 0x00});
    const StreamView view{bytes.data(), bytes.size()};
    static FrameIndices pixels;
    FrameSummary summary;
    ProblemReport report;

    ASSERT_EQ(readFrame(view, 0, 1, summary, report, &pixels), Problem::none);
    std::vector<std::uint8_t> expected(kFramePixels, 20);
    std::fill(expected.begin(), expected.begin() + 32000, 16);
    std::fill(expected.begin() + 32000, expected.begin() + 32127, 231);
    EXPECT_EQ(std::vector<std::uint8_t>(pixels.values, pixels.values + kFramePixels), expected);

    ASSERT_EQ(readFrame(view, 10, 2, summary, report, &pixels), Problem::none);
    EXPECT_EQ(summary.unchangedPixels, kFramePixels - 5);
    std::fill(expected.begin() + 100, expected.begin() + 105, 0x30);
    EXPECT_EQ(std::vector<std::uint8_t>(pixels.values, pixels.values + kFramePixels), expected);
}

}  // namespace
}  // namespace animdump
