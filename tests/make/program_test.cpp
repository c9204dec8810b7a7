// animmake run as its own process: parity with animconv, fitting, animated inputs, bad inputs, interruption.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "make/inputs/video_source.h"
#include "make_test_support.h"

namespace maketest {
namespace {

using vips::VImage;

std::string listOfFrames(const std::string& folder, const std::vector<testsupport::SourceFrame>& frames) {
    std::string list;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::string path = folder + "/source-" + std::to_string(i + 1) + ".bmp";
        list += path + "\t" + std::to_string(frames[i].wait) + "\n";
    }
    writeBytes(folder + "/frames.txt", std::vector<std::uint8_t>(list.begin(), list.end()));
    return "@" + folder + "/frames.txt";
}

// BMPs of every depth animconv accepts: with --dither none the same bytes as animconv, in both modes.
TEST(AnimmakeParity, AcceptedBmpsGiveAnimconvsBytes) {
    const std::vector<testsupport::SourceFrame> frames = testsupport::mixedDepthFrames();
    for (const bool delta : {true, false}) {
        const FreshFolder scratch;
        const std::string folder = scratch.path();
        ASSERT_EQ(testsupport::convertFrames(ANIMCONV_PATH, frames, delta ? "use0xfe" : "no0xfe",
                                             folder + "/animconv.bin", folder)
                      .status,
                  0);
        std::vector<std::string> arguments = {"-q", "--dither",     "none",
                                              "-o", "animmake.bin", listOfFrames(folder, frames)};
        if (!delta) {
            arguments.push_back("--no-delta");
        }
        const ProcessResult result = animmake(arguments, folder);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(readBytes(folder + "/animmake.bin"), readBytes(folder + "/animconv.bin")) << delta;
    }
}

// Frames written to --frames-dir, converted by animconv use0xfe with the same waits, give the same stream.
TEST(AnimmakeParity, FramesDirRoundTripsThroughAnimconv) {
    for (const char* dither : {"steady", "ordered", "none", "diffusion", "search"}) {
        SCOPED_TRACE(dither);
        const FreshFolder scratch;
        const std::string folder = scratch.path();
        std::filesystem::create_directory(folder + "/in");
        for (int i = 0; i < 4; ++i) {
            photoLike(320 + 7 * i, 200, 12 * i)
                .pngsave((folder + "/in/f" + std::to_string(i + 1) + ".png").c_str());
        }
        const ProcessResult result = animmake(
            {"-q", "-w", "7", "--dither", dither, "--frames-dir", "bmps", "-o", "animmake.bin", "in"},
            folder);
        ASSERT_EQ(result.status, 0) << result.err;
        std::vector<std::string> arguments = {"use0xfe", "animconv.bin"};
        for (int i = 1; i <= 4; ++i) {
            arguments.push_back("bmps/frame-00000" + std::to_string(i) + ".bmp");
            arguments.push_back("7");
        }
        ASSERT_EQ(testsupport::runProgram(ANIMCONV_PATH, arguments, folder).status, 0);
        EXPECT_EQ(readBytes(folder + "/animmake.bin"), readBytes(folder + "/animconv.bin"));
        EXPECT_FALSE(std::filesystem::exists(folder + "/bmps/frame-000005.bmp"));
    }
}

// Written over an earlier, longer run's frames, the folder holds this run's alone; other names stay.
TEST(AnimmakeParity, FramesDirHoldsThisRunsFramesOnly) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    for (int i = 0; i < 3; ++i) {
        photoLike(64, 48, 12 * i).pngsave((folder + "/f" + std::to_string(i + 1) + ".png").c_str());
    }
    ASSERT_EQ(
        animmake({"-q", "--frames-dir", "bmps", "-o", "a.bin", "f1.png", "f2.png", "f3.png"}, folder).status,
        0);
    writeBytes(folder + "/bmps/frame-7.bmp", {'x'});
    writeBytes(folder + "/bmps/notes.txt", {'x'});
    ASSERT_EQ(animmake({"-q", "--frames-dir", "bmps", "-o", "b.bin", "f1.png"}, folder).status, 0);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder + "/bmps")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"frame-000001.bmp", "frame-7.bmp", "notes.txt"}));
}

struct FitCase {
    const char* fit;
    int width;
    int height;
    // Contain: the picture's rectangle inside the bars. Cover: the whole frame is the picture's centre.
    int left, top, right, bottom;
};

// A white picture whose outer thirds are black: contain shows it whole between bars of the background;
// cover shows only its white centre when the crop is centred.
TEST(AnimmakeFit, ContainAndCoverPlaceTheCentredPicture) {
    const Rgb background{51, 102, 153};
    const Rgb white{255, 255, 255};
    const Rgb black{0, 0, 0};
    const FitCase cases[] = {
        {"contain", 380, 100, 0, 60, 190, 110},
        {"contain", 100, 340, 70, 0, 120, 170},
        {"cover", 380, 100, 0, 0, 190, 170},
        {"cover", 100, 340, 0, 0, 190, 170},
    };
    for (const FitCase& c : cases) {
        SCOPED_TRACE(std::string(c.fit) + " " + std::to_string(c.width) + "x" + std::to_string(c.height));
        const FreshFolder scratch;
        const std::string folder = scratch.path();
        const bool wide = c.width > c.height;
        const int along = wide ? c.width : c.height;
        VImage picture = solid(c.width, c.height, black);
        picture = wide ? picture.insert(solid(along / 3, c.height, white), along / 3, 0)
                       : picture.insert(solid(c.width, along / 3, white), 0, along / 3);
        picture.pngsave((folder + "/in.png").c_str());
        const ProcessResult result =
            animmake({"-q", "--fit", c.fit, "--background", "#336699", "-o", "out.bin", "in.png"}, folder);
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<StreamFrame> frames = readStream(folder + "/out.bin");
        ASSERT_EQ(frames.size(), 1u);
        std::size_t wrong = 0;
        for (int y = 0; y < 170; ++y) {
            for (int x = 0; x < 190; ++x) {
                const Rgb got = frames[0].colours[static_cast<std::size_t>(y * 190 + x)];
                const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                if (!inside) {
                    wrong += got == background ? 0U : 1U;
                } else if (std::string(c.fit) == "cover") {
                    wrong += got == white ? 0U : 1U;
                } else {
                    // Inside the picture: never the bar colour (the black-white edges may blend).
                    wrong += got == background ? 1U : 0U;
                }
            }
        }
        EXPECT_EQ(wrong, 0u);
    }
}

TEST(AnimmakeAnimated, GifDelaysBecomeWaitBytes) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    saveAnimatedGif({solid(60, 40, {255, 0, 0}), solid(60, 40, {0, 255, 0}), solid(60, 40, {0, 0, 255})},
                    {50, 100, 2000}, folder + "/anim.gif");
    struct WaitCase {
        std::vector<std::string> options;
        std::vector<int> waits;
    };
    const WaitCase cases[] = {
        {{}, {5, 10, 200}},
        {{"--wait-unit", "20"}, {3, 5, 100}},
        {{"--wait-unit", "1"}, {50, 100, 255}},
        {{"-w", "0"}, {0, 0, 0}},
    };
    for (const WaitCase& c : cases) {
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), {"-q", "-f", "-o", "out.bin", "anim.gif"});
        const ProcessResult result = animmake(arguments, folder);
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<StreamFrame> frames = readStream(folder + "/out.bin");
        ASSERT_EQ(frames.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(frames[i].waitByte, c.waits[i]) << "frame " << i + 1;
        }
        EXPECT_EQ(frames[1].colours[95 * 190 + 85], (Rgb{0, 255, 0}));
    }
}

// A directory's images in natural order, other files left out.
TEST(AnimmakeInputs, DirectoryImagesComeInNaturalOrder) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    std::filesystem::create_directory(folder + "/in");
    const std::vector<std::pair<std::string, Rgb>> files = {{"f10.png", {255, 0, 0}},
                                                            {"f2.png", {0, 255, 0}},
                                                            {"f1.png", {0, 0, 255}},
                                                            {"f02b.png", {255, 255, 0}}};
    for (const auto& [name, colour] : files) {
        solid(20, 20, colour).pngsave((folder + "/in/" + name).c_str());
    }
    writeBytes(folder + "/in/notes.txt", {'x'});
    ASSERT_EQ(animmake({"-q", "-o", "out.bin", "in"}, folder).status, 0);
    const std::vector<StreamFrame> frames = readStream(folder + "/out.bin");
    ASSERT_EQ(frames.size(), 4u);
    const Rgb expected[] = {{0, 0, 255}, {0, 255, 0}, {255, 255, 0}, {255, 0, 0}};  // f1, f2, f02b, f10
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(frames[i].colours[85 * 190 + 95], expected[i]) << "frame " << i + 1;
    }
}

// A pixel whose source does not change keeps its dithered colour, so delta mode writes it as unchanged.
TEST(AnimmakeDither, UnchangedSourcePixelsStayUnchangedInTheStream) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    photoLike(190, 170, 0).pngsave((folder + "/a.png").c_str());
    photoLike(190, 170, 40).pngsave((folder + "/b.png").c_str());
    ASSERT_EQ(animmake({"-q", "-o", "out.bin", "a.png", "b.png"}, folder).status, 0);
    const std::vector<StreamFrame> frames = readStream(folder + "/out.bin");
    ASSERT_EQ(frames.size(), 2u);
    // The square moves from x 10..39 to x 50..79 (y 56..85): everything else is the same source.
    EXPECT_EQ(frames[1].unchangedPixels, 32300u - 2 * 30 * 30);
}

struct BadInput {
    std::vector<std::string> arguments;
    std::string error;  // after "animmake: "
    int status;
};

TEST(AnimmakeErrors, BadInputsNameTheInputAndLeaveTheStreamUntouched) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    photoLike(64, 48, 0).pngsave((folder + "/good.png").c_str());
    photoLike(640, 480, 0).jpegsave((folder + "/photo.jpg").c_str());
    for (const char* name : {"good.png", "photo.jpg"}) {
        std::vector<std::uint8_t> bytes = readBytes(folder + "/" + name);
        bytes.resize(bytes.size() / 2);
        writeBytes(folder + "/cut" + std::string(name).substr(std::string(name).find('.')), bytes);
    }
    writeBytes(folder + "/empty.png", {});
    writeBytes(folder + "/notes.txt", {'h', 'e', 'l', 'l', 'o', '\n'});
    writeBytes(folder + "/nothing.txt", {'\n'});
    std::filesystem::create_directory(folder + "/noimages");
    writeBytes(folder + "/noimages/readme.txt", {'x'});
    photoLike(2000, 1000, 0).pngsave((folder + "/big.png").c_str());
    writeBytes(folder + "/text.png", {'h', 'e', 'l', 'l', 'o', '\n'});
    for (const char* frames : {"withempty", "withtext"}) {
        std::filesystem::create_directory(folder + "/" + frames);
        photoLike(64, 48, 0).pngsave((folder + "/" + frames + "/f1.png").c_str());
        photoLike(64, 48, 0).pngsave((folder + "/" + frames + "/f3.png").c_str());
    }
    writeBytes(folder + "/withempty/f2.png", {});
    writeBytes(folder + "/withtext/f2.png", {'h', 'e', 'l', 'l', 'o', '\n'});

    const BadInput cases[] = {
        {{"missing.png"}, "missing.png: cannot open: No such file or directory", 1},
        {{"notes.txt"},
         "notes.txt: not an image, video or stream file (read as a stream: frame 1 at byte 0: the run of "
         "28426 "
         "pixels at byte 3 crosses the frame's end, after 25964 of 32300 pixels)",
         1},
        {{"empty.png"}, "empty.png: the file is empty", 1},
        {{"cut.png"}, "cut.png: the file ends early", 1},
        {{"cut.jpg"}, "cut.jpg: the file ends early", 1},
        {{"--verbose", "cut.jpg"},
         "cut.jpg: the file ends early\nanimmake:   library: VipsJpeg: Premature end of input file",
         1},
        {{"noimages"}, "noimages: no image files in the directory", 1},
        {{"text.png"}, "text.png: not a PNG image (nor a video or stream file)", 1},
        {{"withempty"}, "withempty/f2.png: the file is empty", 1},
        {{"withtext"}, "withtext/f2.png: not a PNG image (nor a video or stream file)", 1},
        {{"@nothing.txt"}, "nothing.txt: the list names no inputs", 1},
        {{"--max-pixels", "1999999", "big.png"},
         "big.png: the image has 2000x1000 pixels, more than --max-pixels 1999999",
         1},
        {{"--fit", "fill", "good.png"},
         "invalid value 'fill' for '--fit' (contain, cover or stretch)\n"
         "Try 'animmake --help' for more information.",
         2},
    };
    for (const BadInput& c : cases) {
        SCOPED_TRACE(c.error);
        writeBytes(folder + "/out.bin", {1, 2, 3});
        std::vector<std::string> arguments = {"-f", "-o", "out.bin", "good.png"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ProcessResult result = animmake(arguments, folder);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, "animmake: " + c.error + "\n");
        EXPECT_EQ(readBytes(folder + "/out.bin"), (std::vector<std::uint8_t>{1, 2, 3}));
    }
    EXPECT_EQ(animmake({"-o", "out.bin", "good.png"}, folder).err,
              "animmake: out.bin: the stream exists and is not empty (use -f to replace it, -a to append)\n");
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_EQ(entry.path().filename().string().find(".animmake-"), std::string::npos) << entry.path();
    }
}

// The summary line counts what was written, "1 frame" for one.
TEST(AnimmakeCommandLine, TheSummaryCountsTheFrames) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    photoLike(64, 48, 0).pngsave((folder + "/a.png").c_str());
    photoLike(64, 48, 5).pngsave((folder + "/b.png").c_str());
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"a.png"}, "animmake: 1 frame, "},
        {{"a.png", "b.png"}, "animmake: 2 frames, "},
    };
    for (const auto& [inputs, start] : cases) {
        std::vector<std::string> arguments = {"-f", "-o", "out.bin"};
        arguments.insert(arguments.end(), inputs.begin(), inputs.end());
        const ProcessResult result = animmake(arguments, folder);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err.rfind(start, 0), 0u) << result.err;
        EXPECT_EQ(result.err.substr(result.err.size() - 12), " -> out.bin\n");
    }
}

TEST(AnimmakeCommandLine, HelpAndVersionGoToStandardOutput) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    const ProcessResult version = animmake({"--version"}, folder);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "animmake " ANIMCONV_VERSION "\n");
    const ProcessResult help = animmake({"-o", "out.bin", "--help", "--bogus"}, folder);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: animmake [OPTION]... [-o STREAM] INPUT...\n", 0), 0u);
    // Only what the build can do: videos where it reads them, and never Windows' wildcards here.
    EXPECT_EQ(help.out.find("a video (MP4") != std::string::npos, animmake::inputs::videoSupported());
    EXPECT_EQ(help.out.find("This build reads no video.") == std::string::npos,
              animmake::inputs::videoSupported());
    EXPECT_EQ(help.out.find("Wildcards"), std::string::npos);
    EXPECT_EQ(help.err + version.err, "");
}

// The man page installed is made for this build: the video input and its section where it reads videos.
TEST(AnimmakeCommandLine, ManPageListsWhatTheBuildDoes) {
    const Bytes bytes = readBytes(ANIMMAKE_MAN_PAGE);
    const std::string page(bytes.begin(), bytes.end());
    ASSERT_EQ(page.rfind(".TH ANIMMAKE 1", 0), 0u);
    EXPECT_EQ(page.find(".SH VIDEO INPUT") != std::string::npos, animmake::inputs::videoSupported());
    EXPECT_EQ(page.find("built without video input") == std::string::npos,
              animmake::inputs::videoSupported());
}

// One whole frame of cube index 16 (a run of 32,300 pixels in the 3-byte form), so that -a may extend it.
const Bytes kOneFrameStream = {16, 0x7E, 0x2C, 0xFF, 10};

// Examples run one after another as written: none overwrites the stream another reads, and the first makes
// the folder it writes into.
TEST(AnimmakeCommandLine, ExamplesRunAsWritten) {
    const Bytes manBytes = readBytes(ANIMMAKE_MAN_PAGE);
    std::istringstream man(std::string(manBytes.begin(), manBytes.end()));
    std::vector<std::string> written;
    for (std::string line; std::getline(man, line);) {
        const std::size_t option = line.find(" \\-o ");
        if (line.rfind("animmake ", 0) == 0 && option != std::string::npos) {
            const std::size_t name = option + 5;
            written.push_back(line.substr(name, line.find(' ', name) - name));
        }
    }
    ASSERT_GT(written.size(), 2u);
    std::sort(written.begin(), written.end());
    EXPECT_EQ(std::adjacent_find(written.begin(), written.end()), written.end()) << written.front();

    const Bytes readmeBytes = readBytes(ANIMCONV_README);
    const std::string readme(readmeBytes.begin(), readmeBytes.end());
    const std::size_t first = readme.find("./build/animmake -q -o out/");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(readme.rfind("mkdir -p out\n", first), std::string::npos);
    EXPECT_GT(readme.rfind("mkdir -p out\n", first), readme.rfind("```sh", first));
}

bool writingFrames(const std::string&, int processId) {
    return writesTemporaryStream(processId, kOneFrameStream.size());
}

std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Stopped part way, by a signal it takes or by SIGKILL: a replacement or an append is all or nothing, and
// nothing is left beside the stream.
class AnimmakeInterrupted : public ::testing::TestWithParam<int> {};

TEST_P(AnimmakeInterrupted, LeavesTheStreamAsItWas) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    photoLike(1200, 900, 0).pngsave((folder + "/big.png").c_str());
    std::string list;
    for (int i = 0; i < 2000; ++i) {
        list += "big.png\n";
    }
    writeBytes(folder + "/list.txt", std::vector<std::uint8_t>(list.begin(), list.end()));
    for (const char* mode : {"-f", "-a"}) {
        SCOPED_TRACE(mode);
        writeBytes(folder + "/out.bin", kOneFrameStream);
        const int status =
            interruptedRun({"-q", mode, "-o", "out.bin", "@list.txt"}, folder, GetParam(), writingFrames);
        EXPECT_EQ(status, GetParam() == SIGKILL ? -1 : 128 + GetParam());
        EXPECT_EQ(readBytes(folder + "/out.bin"), kOneFrameStream);
        EXPECT_EQ(entriesOf(folder), (std::vector<std::string>{"big.png", "list.txt", "out.bin"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, AnimmakeInterrupted, ::testing::Values(SIGINT, SIGTERM, SIGKILL));

// Started with SIGINT ignored (a background job), animmake ignores it too and runs to its end.
TEST(AnimmakeIgnoredInterrupt, StaysIgnored) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    photoLike(1200, 900, 0).pngsave((folder + "/big.png").c_str());
    std::string list;
    for (int i = 0; i < 40; ++i) {
        list += "big.png\n";
    }
    writeBytes(folder + "/list.txt", std::vector<std::uint8_t>(list.begin(), list.end()));
    struct sigaction ignore {};
    struct sigaction saved {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGINT, &ignore, &saved);
    const int status = interruptedRun({"-q", "-o", "out.bin", "@list.txt"}, folder, SIGINT, writingFrames);
    ::sigaction(SIGINT, &saved, nullptr);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readStream(folder + "/out.bin").size(), 40u);
}

// What a run that died left beside the stream (no process holds it) goes with the next run; a live run's
// temporary file (held locked) stays.
TEST(AnimmakeLeftovers, ADeadRunsTemporaryFileIsRemovedByTheNext) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    photoLike(64, 48, 0).pngsave((folder + "/a.png").c_str());
    writeBytes(folder + "/out.bin.animmake-dead01", {1, 2, 3});
    writeBytes(folder + "/out.bin.animmake-live01", {1, 2, 3});
    writeBytes(folder + "/other.bin.animmake-dead02", {1, 2, 3});
    const int live = ::open((folder + "/out.bin.animmake-live01").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    for (const char* mode : {"-f", "-a"}) {
        ASSERT_EQ(animmake({"-q", mode, "-o", "out.bin", "a.png"}, folder).status, 0) << mode;
    }
    ::close(live);
    EXPECT_EQ(entriesOf(folder), (std::vector<std::string>{"a.png", "other.bin.animmake-dead02", "out.bin",
                                                           "out.bin.animmake-live01"}));
    EXPECT_EQ(readStream(folder + "/out.bin").size(), 2u);
}

}  // namespace
}  // namespace maketest
