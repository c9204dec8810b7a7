// animmake on videos made in the test: waits that follow the video's clock, rotation and aspect, trimming,
// and bad videos refused with the stream untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <numeric>

#include "make/inputs/frame_source.h"
#include "make/inputs/input_list.h"
#include "pictures.h"
#include "video_maker.h"

namespace maketest {
namespace {

std::vector<int> waitsOf(const std::vector<StreamFrame>& frames) {
    std::vector<int> waits;
    for (const StreamFrame& frame : frames) {
        waits.push_back(frame.waitByte);
    }
    return waits;
}

struct TimingCase {
    const char* name;
    ClipPlan video;
    std::vector<std::string> options;
    std::size_t frames;
    std::vector<int> firstWaits;
    int waitSum;
};

ClipPlan atRate(int timeBaseNum, int timeBaseDen, int frames) {
    ClipPlan clip;
    clip.timeBaseNum = timeBaseNum;
    clip.timeBaseDen = timeBaseDen;
    clip.frames = frames;
    return clip;
}

ClipPlan withStamps(std::vector<std::int64_t> stampsMs) {
    ClipPlan clip = atRate(1, 1000, static_cast<int>(stampsMs.size()));
    clip.stamps = std::move(stampsMs);
    return clip;
}

// Waits are the video's own frame times in units, rounded so that their sum keeps its clock; frames shorter
// than a unit are dropped, not given a wait of 0.
TEST(AnimmakeVideo, WaitsFollowTheVideosClock) {
    const TimingCase cases[] = {
        {"30 fps", atRate(1, 30, 30), {}, 30, {3, 4, 3, 3, 4, 3}, 100},
        // 100 frames last 3.3367 s.
        {"29.97 fps", atRate(1001, 30000, 100), {}, 100, {3, 4, 3, 3, 4, 3}, 334},
        {"60 fps", atRate(1, 60, 60), {}, 60, {2, 1, 2, 2, 1, 2}, 100},
        {"120 fps: a frame in six dropped", atRate(1, 120, 120), {}, 100, {1, 1, 1, 1, 1, 1}, 100},
        {"30 fps in 20 ms units", atRate(1, 30, 30), {"--wait-unit", "20"}, 30, {2, 1, 2, 2, 1, 2}, 50},
        {"--fps 10 of 30", atRate(1, 30, 30), {"--fps", "10"}, 10, {10, 10, 10}, 100},
        // 1.001 s: the frame on screen at each of the ticks 0/7 .. 6/7 s; the one at 7/7 s would be shown
        // for the 1 ms before the video ends, less than a unit.
        {"--fps 7 of 29.97", atRate(1001, 30000, 30), {"--fps", "7"}, 7, {14, 15, 14, 14, 14, 15, 14}, 100},
        // The last frame, at the tick of 0.96 s, ends with the video at 1 s.
        {"--fps 12.5 of 25", atRate(1, 25, 25), {"--fps", "12.5"}, 13, {8, 8, 8}, 100},
        {"--wait keeps every frame", atRate(1, 120, 12), {"-w", "5"}, 12, {5, 5, 5}, 60},
        {"variable rate", withStamps({0, 40, 50, 130, 200, 203, 260}), {}, 6, {4, 1, 8, 7, 6, 6}, 32},
        {"clamped above 255", withStamps({0, 4000, 4100}), {}, 3, {255, 10, 10}, 275},
    };
    for (const TimingCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FreshFolder scratch;
        const std::string folder = scratch.path();
        writeVideo(folder + "/clip.mkv", c.video);
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), {"-q", "-o", "out.bin", "clip.mkv"});
        const ProcessResult result = animmake(arguments, folder);
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<int> waits = waitsOf(readStream(folder + "/out.bin"));
        EXPECT_EQ(waits.size(), c.frames);
        EXPECT_EQ(std::vector<int>(waits.begin(),
                                   waits.begin() + long(std::min(waits.size(), c.firstWaits.size()))),
                  c.firstWaits);
        EXPECT_EQ(std::accumulate(waits.begin(), waits.end(), 0), c.waitSum);
    }
}

// An AVI marks a dropped frame with an index entry that holds no picture (FFmpeg's muxer writes one for
// each step of a gap in the time stamps): the frame before it is shown on, and the file is whole. One cut
// short (its index, at the end, gone with the rest) is refused.
TEST(AnimmakeVideo, DroppedFramesInAnAviExtendTheFrameBefore) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    // 25 fps, 20 entries; pictures at 0-4 and 10-19.
    std::vector<std::int64_t> stamps = {0, 1, 2, 3, 4};
    for (std::int64_t stamp = 10; stamp < 20; ++stamp) {
        stamps.push_back(stamp);
    }
    ClipPlan clip = atRate(1, 25, static_cast<int>(stamps.size()));
    clip.stamps = stamps;
    writeVideo(folder + "/dropped.avi", clip);
    ProcessResult result = animmake({"-q", "-o", "out.bin", "dropped.avi"}, folder);
    ASSERT_EQ(result.status, 0) << result.err;
    std::vector<int> expected(15, 4);
    expected[4] = 24;
    EXPECT_EQ(waitsOf(readStream(folder + "/out.bin")), expected);

    writeVideo(folder + "/whole.avi", atRate(1, 25, 20));
    const Bytes whole = readBytes(folder + "/whole.avi");
    // Cut half way through its pictures, between the list that holds them ("movi") and the index.
    const auto offsetOf = [&](const char* tag) {
        return std::search(whole.begin(), whole.end(), tag, tag + 4) - whole.begin();
    };
    const long middle = (offsetOf("movi") + offsetOf("idx1")) / 2;
    ASSERT_LT(middle, long(whole.size()));
    writeBytes(folder + "/cut.avi", Bytes(whole.begin(), whole.begin() + middle));
    result = animmake({"-q", "-f", "-o", "out.bin", "cut.avi"}, folder);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.rfind("animmake: cut.avi: the video is cut short: the file ends after ", 0), 0u)
        << result.err;
    EXPECT_EQ(result.err.substr(result.err.size() - 18), " of its 20 frames\n");
}

// Every container cut short is refused, as the README says; one that lost frames inside (an Ogg page whose
// checksum fails, so that its demuxer drops it) says in one line how many and where.
TEST(AnimmakeVideo, CutOrDamagedVideosOfEveryContainerSaySo) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    struct Container {
        const char* extension;
        const char* codec;
    };
    std::vector<Container> containers = {{"mkv", "mpeg4"}, {"avi", "mpeg4"}, {"mp4", "mpeg4"}};
    if (hasEncoder("libvpx")) {
        containers.push_back({"webm", "libvpx"});
    }
    if (hasEncoder("libtheora")) {
        containers.push_back({"ogv", "libtheora"});
    }
    for (const Container& container : containers) {
        SCOPED_TRACE(container.extension);
        ClipPlan clip = atRate(1, 10, 30);
        clip.codec = container.codec;
        const std::string whole = folder + "/whole." + container.extension;
        writeVideo(whole, clip);
        const Bytes bytes = readBytes(whole);
        const std::string cut = std::string("cut.") + container.extension;
        writeBytes(folder + "/" + cut, Bytes(bytes.begin(), bytes.begin() + long(bytes.size() * 6 / 10)));
        writeBytes(folder + "/out.bin", {1, 2, 3});
        const ProcessResult result = animmake({"-q", "-f", "-o", "out.bin", cut}, folder);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("animmake: " + cut + ": "), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("cut short"), std::string::npos) << result.err;
        EXPECT_EQ(readBytes(folder + "/out.bin"), (Bytes{1, 2, 3}));
        EXPECT_EQ(animmake({"-q", "-f", "-o", "out.bin", whole}, folder).err, "");
    }
    if (hasEncoder("libtheora")) {
        Bytes bytes = readBytes(folder + "/whole.ogv");
        // Inside a page two thirds along, well past the codec's setup pages.
        std::vector<long> pages;
        for (auto at = bytes.begin(); (at = std::search(at, bytes.end(), "OggS", "OggS" + 4)) != bytes.end();
             ++at) {
            pages.push_back(long(at - bytes.begin()));
        }
        ASSERT_GT(pages.size(), 6u);
        const long inFrames =
            pages[pages.size() * 2 / 3] + 27 + bytes[std::size_t(pages[pages.size() * 2 / 3]) + 26];
        std::fill(bytes.begin() + inFrames, bytes.begin() + inFrames + 4, 0);
        writeBytes(folder + "/zeroed.ogv", bytes);
        const ProcessResult result = animmake({"-q", "-f", "-o", "out.bin", "zeroed.ogv"}, folder);
        EXPECT_EQ(result.status, 0);
        const std::size_t taken = readStream(folder + "/out.bin").size();
        ASSERT_LT(taken, 30u);
        EXPECT_EQ(result.err.rfind("animmake: zeroed.ogv: the video is damaged: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(" left out (at "), std::string::npos) << result.err;
    }
}

const Rgb kRed{255, 0, 0};
const Rgb kGreen{0, 255, 0};
const Rgb kBlue{0, 0, 255};

// The channel that stands out, so that the video's and the dither's small errors do not matter.
char hueOf(const Rgb& colour) {
    if (colour.red > 150 && colour.green < 100 && colour.blue < 100) {
        return 'r';
    }
    if (colour.green > 150 && colour.red < 100 && colour.blue < 100) {
        return 'g';
    }
    if (colour.blue > 150 && colour.red < 100 && colour.green < 100) {
        return 'b';
    }
    return colour == Rgb{0, 0, 0} ? '-' : '?';
}

struct PictureCase {
    const char* name;
    int width, height, rotation, aspectNum, aspectDen;
    // Pixels of the frame and the hue each must show ('-' the black bars).
    std::vector<std::tuple<int, int, char>> probes;
};

// Top half red, bottom half blue, shown as a player would: turned by the display matrix, pixels widened by
// the sample aspect ratio, then fitted (contain) into 190x170.
TEST(AnimmakeVideo, RotationAndSampleAspectAreApplied) {
    const PictureCase cases[] = {
        // 160x90 as is: 190x107 with bars above and below.
        {"upright", 160, 90, 0, 1, 1, {{95, 10, '-'}, {95, 50, 'r'}, {95, 120, 'b'}, {95, 160, '-'}}},
        // A phone's portrait clip: turned clockwise, the top goes right: 96x170 with bars left and right.
        {"90", 160, 90, 90, 1, 1, {{20, 85, '-'}, {70, 85, 'b'}, {120, 85, 'r'}, {170, 85, '-'}}},
        {"180", 160, 90, 180, 1, 1, {{95, 50, 'b'}, {95, 120, 'r'}}},
        {"270", 160, 90, 270, 1, 1, {{20, 85, '-'}, {70, 85, 'r'}, {120, 85, 'b'}, {170, 85, '-'}}},
        // 80x90 stored, pixels twice as wide as high: shown as 160x90.
        {"aspect 2:1", 80, 90, 0, 2, 1, {{95, 10, '-'}, {20, 50, 'r'}, {170, 120, 'b'}, {95, 160, '-'}}},
    };
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FreshFolder scratch;
        const std::string folder = scratch.path();
        ClipPlan clip = atRate(1, 25, 3);
        clip.width = c.width;
        clip.height = c.height;
        clip.clockwiseRotation = c.rotation;
        clip.sampleAspectNum = c.aspectNum;
        clip.sampleAspectDen = c.aspectDen;
        clip.paint = [&](int, int, int y) { return y < c.height / 2 ? kRed : kBlue; };
        writeVideo(folder + "/clip.mp4", clip);
        const ProcessResult result = animmake({"-q", "-o", "out.bin", "clip.mp4"}, folder);
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<StreamFrame> frames = readStream(folder + "/out.bin");
        ASSERT_EQ(frames.size(), 3u);
        for (const auto& [x, y, hue] : c.probes) {
            EXPECT_EQ(hueOf(frames[2].colours[std::size_t(y * 190 + x)]), hue) << x << "," << y;
        }
    }
}

// Red, green, blue for a second each at 30 fps: --start and --duration take the frames of the range, each
// range counted from its own start (seeking to the key frame before --start, then decoding up to it).
TEST(AnimmakeVideo, StartAndDurationTrim) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    ClipPlan clip = atRate(1, 30, 90);
    clip.paint = [](int index, int, int) { return index < 30 ? kRed : index < 60 ? kGreen : kBlue; };
    writeVideo(folder + "/clip.mp4", clip);
    struct TrimCase {
        std::vector<std::string> options;
        std::size_t frames;
        int waitSum;
        char first, last;
    };
    const TrimCase cases[] = {
        {{"--start", "1", "--duration", "1"}, 30, 100, 'g', 'g'},
        {{"--start", "0:01.5"}, 45, 150, 'g', 'b'},
        {{"--duration", "00:00:00.5"}, 15, 50, 'r', 'r'},
        // Ticks at 1.98 s, 2.08 s .. 2.98 s; the last frame ends with the video at 3 s.
        {{"--start", "1.98", "--fps", "10"}, 11, 102, 'g', 'b'},
    };
    for (const TrimCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.options));
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), {"-q", "-f", "-o", "out.bin", "clip.mp4"});
        const ProcessResult result = animmake(arguments, folder);
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<StreamFrame> frames = readStream(folder + "/out.bin");
        const std::vector<int> waits = waitsOf(frames);
        ASSERT_EQ(frames.size(), c.frames);
        EXPECT_EQ(std::accumulate(waits.begin(), waits.end(), 0), c.waitSum);
        EXPECT_EQ(hueOf(frames.front().colours[85 * 190 + 95]), c.first);
        EXPECT_EQ(hueOf(frames.back().colours[85 * 190 + 95]), c.last);
    }
}

TEST(AnimmakeVideo, BadVideosAreRefusedWithTheStreamUntouched) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    writeVideo(folder + "/good.mp4", atRate(1, 30, 30));
    const Bytes whole = readBytes(folder + "/good.mp4");
    // Its index comes last: the first half has frames but no index.
    writeBytes(folder + "/cut.mp4", Bytes(whole.begin(), whole.begin() + long(whole.size() / 2)));
    writeVideo(folder + "/good.mkv", atRate(1, 30, 30));
    ClipPlan junk = atRate(1, 30, 5);
    junk.junkFrames = {0, 1, 2, 3, 4};
    writeVideo(folder + "/junk.mkv", junk);
    // Sound alone: one second of silence as 8 kHz 8-bit WAV.
    Bytes wav = {'R', 'I', 'F', 'F', 0x64, 0x1f, 0,   0,   'W', 'A',  'V',  'E',  'f', 'm',  't',
                 ' ', 16,  0,   0,   0,    1,    0,   1,   0,   0x40, 0x1f, 0,    0,   0x40, 0x1f,
                 0,   0,   1,   0,   8,    0,    'd', 'a', 't', 'a',  0x40, 0x1f, 0,   0};
    wav.resize(wav.size() + 8000, 0x80);
    writeBytes(folder + "/sound.wav", wav);

    struct BadVideo {
        std::vector<std::string> arguments;
        std::string error;  // after "animmake: "
    };
    std::vector<BadVideo> cases = {
        {{"good.mkv", "cut.mp4"},
         "cut.mp4: cannot read the video: the file is cut short or damaged (its header is unreadable)"},
        {{"good.mkv", "junk.mkv"}, "junk.mkv: no frame of the video could be decoded (the file is damaged)"},
        {{"good.mkv", "sound.wav"}, "sound.wav: no video stream: the file holds only sound"},
        {{"--start", "5", "good.mp4"},
         "good.mp4: no frames to take: --start 5.000 s lies past the video's end"},
    };
    // Debian's FFmpeg has no AVS2 decoder (that needs libdavs2), but Matroska can carry it.
    if (!hasDecoder("avs2")) {
        ClipPlan avs2 = atRate(1, 30, 5);
        avs2.labelledAs = "avs2";
        writeVideo(folder + "/avs2.mkv", avs2);
        cases.push_back({{"good.mkv", "avs2.mkv"},
                         "avs2.mkv: cannot decode its video: this FFmpeg build has no decoder for avs2"});
    }
    for (const BadVideo& c : cases) {
        SCOPED_TRACE(c.error);
        writeBytes(folder + "/out.bin", {1, 2, 3});
        std::vector<std::string> arguments = {"-f", "-o", "out.bin"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ProcessResult result = animmake(arguments, folder);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "animmake: " + c.error + "\n");
        EXPECT_EQ(readBytes(folder + "/out.bin"), (Bytes{1, 2, 3}));
    }
    // Damage within an otherwise good file: said in one line, and the rest of the video is taken.
    ClipPlan damaged = atRate(1, 30, 30);
    damaged.junkFrames = {12, 13};
    writeVideo(folder + "/damaged.mkv", damaged);
    const ProcessResult result = animmake({"-q", "-f", "-o", "out.bin", "damaged.mkv"}, folder);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err,
              "animmake: damaged.mkv: the video is damaged: 2 frames left out; the rest is in the stream\n");
    EXPECT_EQ(readStream(folder + "/out.bin").size(), 28u);
}

// What a file is, told by its first bytes: the first claim that holds decides, animconv's BMPs and streams
// first, libvips' own loaders before the video probe, a loader of any kind (ImageMagick's) after it.
TEST(AnimmakeVideo, EachInputIsToldByItsFirstBytes) {
    const FreshFolder scratch;
    const testsupport::Picture grey = testsupport::solidPicture({128, 128, 128});
    writeBytes(scratch.pathOf("frame.bmp"), testsupport::directImage(grey));
    writeBytes(scratch.pathOf("frames.bin"),
               testsupport::referenceRun(testsupport::Mode::plain, {{grey, 5}, {grey, 7}}));
    photoLike(64, 48, 0).pngsave(scratch.pathOf("photo.png").c_str());
    photoLike(64, 48, 0).jpegsave(scratch.pathOf("photo").c_str());
    writeVideo(scratch.pathOf("clip.mkv"), atRate(1, 30, 3));
    std::filesystem::copy_file(scratch.pathOf("clip.mkv"), scratch.pathOf("clip"));
    writeBytes(scratch.pathOf("notes.txt"), {'a', ' ', 'n', 'o', 't', 'e', '\n'});
    struct Case {
        const char* name;
        animmake::inputs::InputKind kind;
    };
    const Case cases[] = {
        {"frame.bmp", animmake::inputs::InputKind::bmp},
        {"frames.bin", animmake::inputs::InputKind::stream},
        {"photo.png", animmake::inputs::InputKind::image},
        {"photo", animmake::inputs::InputKind::image},
        {"clip.mkv", animmake::inputs::InputKind::video},
        {"clip", animmake::inputs::InputKind::video},
        {"notes.txt", animmake::inputs::InputKind::unknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        animmake::inputs::FileHead head;
        std::string reason;
        ASSERT_TRUE(animmake::inputs::readFileHead(scratch.pathOf(c.name), head, reason)) << reason;
        EXPECT_EQ(animmake::inputs::kindOf(scratch.pathOf(c.name), head), c.kind);
    }
}

// However it is given, a video's file is opened twice before it is decoded: once for its first bytes, once
// by the decoder; the kind a folder's listing or the lone-list question found is not looked for again.
TEST(AnimmakeVideo, AVideoIsOpenedTwice) {
    const FreshFolder scratch;
    const std::string clip = scratch.pathOf("clip.mp4");
    writeVideo(clip, atRate(1, 30, 6));
    scratch.makeFolder("shots");
    std::filesystem::copy_file(clip, scratch.pathOf("shots/named.mp4"));
    std::filesystem::copy_file(clip, scratch.pathOf("shots/unnamed"));
    struct Case {
        const char* name;
        std::function<std::vector<animmake::inputs::InputItem>()> inputs;
    };
    const Case cases[] = {
        {"given alone",
         [&] {
             animmake::inputs::InputKind kind = animmake::inputs::InputKind::unknown;
             EXPECT_FALSE(animmake::inputs::isLoneList(clip, &kind));
             EXPECT_EQ(kind, animmake::inputs::InputKind::video);
             return std::vector<animmake::inputs::InputItem>{{clip, -1, kind}};
         }},
        {"in a folder, one named as a video and one not",
         [&] {
             std::vector<animmake::inputs::InputItem> items;
             std::string error;
             EXPECT_TRUE(animmake::inputs::expandInputs({scratch.pathOf("shots")}, items, error)) << error;
             return items;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = animmake::inputs::inputOpens();
        const std::vector<animmake::inputs::InputItem> items = c.inputs();
        for (const animmake::inputs::InputItem& item : items) {
            SCOPED_TRACE(item.path);
            const animmake::inputs::SourceSettings settings{};
            const std::unique_ptr<animmake::inputs::Source> source =
                animmake::inputs::openInput(item.path, item.kind, settings);
            std::size_t frames = 0;
            animmake::inputs::SourceFrame frame;
            while (source->next(frame)) {
                ++frames;
            }
            EXPECT_FALSE(source->failed()) << source->failure().reason;
            EXPECT_EQ(frames, 6u);
        }
        EXPECT_EQ(animmake::inputs::inputOpens() - before, 2 * items.size());
    }
}

}  // namespace
}  // namespace maketest
