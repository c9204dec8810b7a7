// Streams as animmake's inputs: joined with other inputs colour for colour under every dither, retimed,
// trimmed by their own waits, and refused where they break.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "make/inputs/stream_source.h"
#include "make_test_support.h"
#include "stream/stream_reader.h"

namespace maketest {
namespace {

using vips::VImage;

// Pixels equal to the previous frame's: what delta mode must mark unchanged, and nothing else.
std::size_t sameAsBefore(const StreamFrame& before, const StreamFrame& frame) {
    std::size_t same = 0;
    for (std::size_t p = 0; p < frame.colours.size(); ++p) {
        same += frame.colours[p] == before.colours[p] ? 1U : 0U;
    }
    return same;
}

// `unsure`: frames delta mode compares with a picture's own colours (not put onto the cube, as with
// --dither none, whose truncation is the encoder's), not with the colours shown.
void expectMarkersRederived(const std::vector<StreamFrame>& frames, bool delta,
                            const std::vector<std::size_t>& unsure) {
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (std::find(unsure.begin(), unsure.end(), i) != unsure.end()) {
            continue;
        }
        const std::size_t expected = delta && i > 0 ? sameAsBefore(frames[i - 1], frames[i]) : 0;
        EXPECT_EQ(frames[i].unchangedPixels, expected) << "frame " << i + 1;
    }
}

// a.bin in delta mode (steady dither), b.bin without (ordered), with waits 0 and 255 among theirs.
void makeTwoStreams(const std::string& folder) {
    ASSERT_TRUE(makeStream(folder, "a.bin",
                           {{photoLike(190, 170, 0), 0},
                            {photoLike(190, 170, 6), 7},
                            {photoLike(190, 170, 12), 255},
                            {photoLike(190, 170, 12), 10}},
                           {}));
    ASSERT_TRUE(makeStream(
        folder, "b.bin",
        {{photoLike(320, 200, 40), 3}, {photoLike(320, 200, 44), 0}, {photoLike(320, 200, 90), 40}},
        {"--no-delta", "--dither", "ordered"}));
}

TEST(AnimmakeStreams, AJoinKeepsEveryColourAndWaitUnderEveryDither) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    makeTwoStreams(folder);
    const std::vector<StreamFrame> a = readStream(folder + "/a.bin");
    const std::vector<StreamFrame> b = readStream(folder + "/b.bin");
    ASSERT_EQ(a.size(), 4u);
    ASSERT_EQ(b.size(), 3u);
    ASSERT_GT(a[1].unchangedPixels, 0u);
    ASSERT_EQ(b[1].unchangedPixels, 0u);
    // Pictures before, between and after the streams: the steady dither has frames to remember around them.
    photoLike(190, 170, 3).pngsave((folder + "/before.png").c_str());
    photoLike(190, 170, 20).pngsave((folder + "/after.png").c_str());
    struct JoinCase {
        std::vector<std::string> options;
        bool delta;
    };
    const JoinCase cases[] = {
        {{"--dither", "search"}, true},    {{"--dither", "steady"}, true},
        {{"--dither", "ordered"}, true},   {{"--dither", "none"}, true},
        {{"--dither", "diffusion"}, true}, {{"--dither", "steady", "--no-delta"}, false},
    };
    for (const JoinCase& c : cases) {
        SCOPED_TRACE(c.options[1] + (c.delta ? "" : " --no-delta"));
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(),
                         {"-q", "-f", "-o", "out.bin", "before.png", "a.bin", "after.png", "b.bin", "a.bin"});
        const ProcessResult result = animmake(arguments, folder);
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<StreamFrame> out = readStream(folder + "/out.bin");
        ASSERT_EQ(out.size(), 1 + a.size() + 1 + b.size() + a.size());
        std::vector<StreamFrame> expected = a;
        expected.insert(expected.end(), b.begin(), b.end());
        expected.insert(expected.end(), a.begin(), a.end());
        std::size_t at = 0;
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (i == 0 || i == 1 + a.size()) {
                EXPECT_EQ(out[i].waitByte, 10) << "picture at frame " << i + 1;
                continue;
            }
            EXPECT_TRUE(out[i].colours == expected[at].colours) << "frame " << i + 1;
            EXPECT_EQ(out[i].waitByte, expected[at].waitByte) << "frame " << i + 1;
            ++at;
        }
        const std::size_t after = 1 + a.size();
        expectMarkersRederived(out, c.delta,
                               c.options[1] == "none" ? std::vector<std::size_t>{1, after, after + 1}
                                                      : std::vector<std::size_t>{});
    }

    // Appended onto a stream: b's frames after a's, markers derived again.
    std::filesystem::copy_file(folder + "/a.bin", folder + "/joined.bin");
    const ProcessResult appended = animmake({"-q", "-a", "-o", "joined.bin", "b.bin"}, folder);
    ASSERT_EQ(appended.status, 0) << appended.err;
    const std::vector<StreamFrame> joined = readStream(folder + "/joined.bin");
    ASSERT_EQ(joined.size(), a.size() + b.size());
    for (std::size_t i = 0; i < b.size(); ++i) {
        EXPECT_TRUE(joined[a.size() + i].colours == b[i].colours) << "frame " << i + 1 << " of b";
        EXPECT_EQ(joined[a.size() + i].waitByte, b[i].waitByte);
    }
}

// One solid cube colour a frame, so that each frame of the result tells which frame of the stream it is.
const Rgb kColours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}};

struct Taken {
    int frame;  // of the stream, from 1
    int wait;
};

// The stream's frames last 0.1, 0 (never on screen), 0.2, 0.3 and 0.4 s.
TEST(AnimmakeStreams, RetimedAndTrimmedByTheirOwnWaits) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    const int waits[] = {10, 0, 20, 30, 40};
    std::vector<std::pair<VImage, int>> pictures;
    for (std::size_t i = 0; i < 5; ++i) {
        pictures.emplace_back(solid(190, 170, kColours[i]), waits[i]);
    }
    ASSERT_TRUE(makeStream(folder, "s.bin", pictures, {}));
    writeBytes(folder + "/list.txt", {'s', '.', 'b', 'i', 'n', '\t', '7', '\n'});
    struct TimingCase {
        std::vector<std::string> options;
        std::vector<Taken> taken;
    };
    const TimingCase cases[] = {
        {{}, {{1, 10}, {2, 0}, {3, 20}, {4, 30}, {5, 40}}},
        {{"-w", "3"}, {{1, 3}, {2, 3}, {3, 3}, {4, 3}, {5, 3}}},
        {{"@list.txt"}, {{1, 7}, {2, 7}, {3, 7}, {4, 7}, {5, 7}}},
        {{"--wait-unit", "20"}, {{1, 10}, {2, 0}, {3, 20}, {4, 30}, {5, 40}}},  // the stream's own unit
        // Frame boundaries: 0.1 to 0.6 s, the frame of no wait at 0.1 s kept.
        {{"--start", "0.1", "--duration", "0.5"}, {{2, 0}, {3, 20}, {4, 30}}},
        // Inside frames: from 0.2 s, frame 3 on screen, to 0.7 s, frame 5 cut to end there.
        {{"--start", "0.2", "--duration", "0.5"}, {{3, 10}, {4, 30}, {5, 10}}},
        {{"--duration", "0.05"}, {{1, 5}}},
        {{"--start", "0.95"}, {{5, 5}}},
        // Ticks every 0.2 s at 0, 0.2, 0.4, 0.6 and 0.8 s.
        {{"--fps", "5"}, {{1, 20}, {3, 20}, {4, 20}, {5, 40}}},
        {{"--fps", "5", "--start", "0.3", "-w", "9"}, {{4, 9}, {5, 9}}},
        // The last frame ends with the range, not at the tick after it.
        {{"--fps", "5", "--duration", "0.5"}, {{1, 20}, {3, 20}, {4, 10}}},
        {{"--duration", "5"}, {{1, 10}, {2, 0}, {3, 20}, {4, 30}, {5, 40}}},  // past the stream's end
    };
    for (const TimingCase& c : cases) {
        std::string trace;
        for (const std::string& option : c.options) {
            trace += option + " ";
        }
        SCOPED_TRACE(trace);
        std::vector<std::string> arguments = {"-q", "-f", "-o", "out.bin"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        if (c.options.empty() || c.options[0] != "@list.txt") {
            arguments.push_back("s.bin");
        }
        const ProcessResult result = animmake(arguments, folder);
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<StreamFrame> out = readStream(folder + "/out.bin");
        ASSERT_EQ(out.size(), c.taken.size());
        for (std::size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(out[i].colours[0], kColours[c.taken[i].frame - 1]) << "frame " << i + 1;
            EXPECT_EQ(out[i].waitByte, c.taken[i].wait) << "frame " << i + 1;
        }
    }
    writeBytes(folder + "/out.bin", {1, 2, 3});
    const ProcessResult past = animmake({"-q", "-f", "-o", "out.bin", "--start", "1", "s.bin"}, folder);
    EXPECT_EQ(past.status, 1);
    EXPECT_EQ(past.err, "animmake: s.bin: no frames to take: --start 1.000 s lies past the stream's end\n");
    EXPECT_EQ(readBytes(folder + "/out.bin"), (Bytes{1, 2, 3}));
}

// Where the reader finds the stream broken, by the rules of what animconv writes.
std::string brokenAt(const Bytes& bytes) {
    const animconv::StreamView stream{bytes.data(), bytes.size()};
    animconv::ReadRules rules;
    rules.rejectLongFormUnder128 = true;
    animconv::FrameSummary frame;
    animconv::ProblemReport report;
    std::size_t offset = 0;
    for (std::size_t number = 1; offset < bytes.size(); ++number, offset += frame.bytes) {
        rules.firstOfRun = number == 1;
        if (animconv::readFrame(stream, offset, number, rules, frame, report, nullptr) !=
            animconv::Problem::none) {
            return animconv::problemText(report);
        }
    }
    return "";
}

TEST(AnimmakeStreams, ADamagedStreamIsRefusedWhereItBreaks) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    makeTwoStreams(folder);
    const Bytes b = readBytes(folder + "/b.bin");
    // Frame 2 starts after frame 1's bytes: its first record, its terminator just before frame 3.
    std::vector<std::size_t> starts;
    for (std::size_t offset = 0; offset < b.size();) {
        starts.push_back(offset);
        animconv::FrameSummary frame;
        animconv::ProblemReport report;
        ASSERT_EQ(animconv::readFrame({b.data(), b.size()}, offset, starts.size(), frame, report, nullptr),
                  animconv::Problem::none);
        offset += frame.bytes;
    }
    ASSERT_EQ(starts.size(), 3u);
    Bytes cut(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(starts[1] + 10));
    Bytes badRun = b;
    badRun[starts[1]] = 0x05;  // the value of frame 2's first run
    Bytes noTerminator = b;
    noTerminator.erase(noTerminator.begin() + static_cast<std::ptrdiff_t>(starts[2] - 2),
                       noTerminator.begin() + static_cast<std::ptrdiff_t>(starts[2]));
    const Bytes before = readBytes(folder + "/a.bin");
    for (const Bytes& damaged : {cut, badRun, noTerminator}) {
        const std::string where = brokenAt(damaged);
        SCOPED_TRACE(where);
        ASSERT_EQ(where.rfind("frame 2 at byte " + std::to_string(starts[1]) + ": ", 0), 0u);
        writeBytes(folder + "/bad.bin", damaged);
        for (const char* mode : {"-f", "-a"}) {
            std::filesystem::copy_file(folder + "/a.bin", folder + "/out.bin",
                                       std::filesystem::copy_options::overwrite_existing);
            // --duration ends before the damage: the rest of the stream is still checked.
            const ProcessResult result =
                animmake({"-q", mode, "--duration", "0.01", "-o", "out.bin", "a.bin", "bad.bin"}, folder);
            EXPECT_EQ(result.status, 1) << mode;
            EXPECT_EQ(result.err, "animmake: bad.bin: a damaged stream: " + where + "\n") << mode;
            EXPECT_EQ(readBytes(folder + "/out.bin"), before) << mode;
        }
    }
    EXPECT_EQ(readBytes(folder + "/a.bin"), before);
}

// A stream longer than the window animmake reads streams through, so that the window is refilled at every
// frame's start, cut at each frame's end and the bytes around it, where each window ends, and every 499th
// byte: a cut at a frame's end is a whole stream of the frames before it, any other the frame it falls in
// cut short, said where the reader of the whole file says it.
TEST(AnimmakeStreams, ALongStreamCutAnywhereReadsAsCutShort) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    std::vector<std::pair<VImage, int>> pictures;
    for (int i = 0; i < 8; ++i) {
        pictures.emplace_back(photoLike(320, 200, 23 * i), i + 1);
    }
    ASSERT_TRUE(makeStream(folder, "long.bin", pictures, {"--no-delta"}));
    const Bytes stream = readBytes(folder + "/long.bin");
    ASSERT_GT(stream.size(), 2 * animconv::kFrameReach);
    std::vector<std::size_t> ends = {0};
    while (ends.back() < stream.size()) {
        animconv::FrameSummary frame;
        animconv::ProblemReport report;
        ASSERT_EQ(animconv::readFrame({stream.data(), stream.size()}, ends.back(), ends.size(), frame, report,
                                      nullptr),
                  animconv::Problem::none);
        ends.push_back(ends.back() + frame.bytes);
    }
    std::vector<std::size_t> cuts;
    for (std::size_t at = 0; at <= stream.size(); at += 499) {
        cuts.push_back(at);
    }
    for (const std::size_t end : ends) {
        for (const std::size_t edge : {end, end + animconv::kFrameReach}) {
            for (std::size_t at = edge >= 2 ? edge - 2 : 0; at <= edge + 2 && at <= stream.size(); ++at) {
                cuts.push_back(at);
            }
        }
    }
    const std::string path = folder + "/cut.bin";
    for (const std::size_t length : cuts) {
        SCOPED_TRACE(length);
        const Bytes cut(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(length));
        writeBytes(path, cut);
        // As the run takes a file: its first bytes say whether it is a stream, then its frames are read.
        animmake::inputs::FileHead head;
        std::string notWhole;
        const bool isStream = length > 0 && animmake::inputs::readFileHead(path, head, notWhole) &&
                              animmake::inputs::startsAsStream(head, notWhole);
        std::size_t frames = 0;
        std::string reason;
        bool loaded = false;
        if (isStream) {
            const animmake::inputs::SourceSettings settings{};
            const auto source = animmake::inputs::openStream(path, settings);
            animmake::inputs::SourceFrame frame;
            while (source->next(frame)) {
                ++frames;
            }
            loaded = !source->failed();
            reason = source->failure().reason;
        } else {
            reason = notWhole;  // where its first frame breaks
        }
        const auto whole = std::find(ends.begin(), ends.end(), length);
        if (length == 0) {
            EXPECT_FALSE(isStream);
        } else if (whole != ends.end()) {
            EXPECT_TRUE(isStream && loaded) << reason;
            EXPECT_EQ(frames, static_cast<std::size_t>(whole - ends.begin()));
        } else {
            const std::size_t number =
                static_cast<std::size_t>(std::upper_bound(ends.begin(), ends.end(), length) - ends.begin());
            const std::string where = brokenAt(cut);
            EXPECT_EQ(where.rfind("frame " + std::to_string(number) + " at byte " +
                                      std::to_string(ends[number - 1]) + ": truncated: the file ends ",
                                  0),
                      0u)
                << where;
            EXPECT_EQ(isStream, number > 1);
            EXPECT_FALSE(loaded);
            EXPECT_EQ(reason, (number == 1 ? "" : "a damaged stream: ") + where);
        }
    }
}

}  // namespace
}  // namespace maketest
