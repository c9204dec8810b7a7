// animstudio's API as the page uses it: the refusals, uploads, streams byte for byte as animmake makes
// them, the frames shown, cancel, two jobs at once and the save beside a command-line file.
#include <gtest/gtest.h>
#include <vips/vips8>

#include <filesystem>
#include <string>
#include <vector>

#include "make/inputs/video_source.h"
#include "make/make_job.h"
#include "stream/stream_reader.h"
#include "studio_fixture.h"
#include "toolkit/tool_platform.h"

#ifdef ANIMSTUDIO_TEST_VIDEO
#include "video_maker.h"
#endif

namespace {

using namespace studiotest;
using vips::VImage;

// A folder of the test's own, removed after it.
class Scratch {
  public:
    Scratch() {
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                (std::string("animstudio-test-") + test->name() + "-" + std::to_string(std::rand()));
        std::filesystem::create_directories(path_);
    }
    ~Scratch() {
        std::error_code code;
        std::filesystem::remove_all(path_, code);
    }
    std::string operator/(const std::string& name) const { return toolplatform::utf8Of(path_ / name); }

  private:
    std::filesystem::path path_;
};

// A picture with detail in every colour, moved by `shift`.
VImage picture(int width, int height, int shift) {
    const VImage xy = VImage::xyz(width, height);
    const VImage red = (xy[0] * (255.0 / width) + shift) % 256;
    const VImage green = (xy[1] * (255.0 / height) + 2 * shift) % 256;
    const VImage blue = ((xy[0] + xy[1]) * 0.7 + 3 * shift) % 256;
    return red.bandjoin({green, blue}).cast(VIPS_FORMAT_UCHAR);
}

void savePng(const std::string& path, int shift) {
    picture(320, 240, shift).pngsave(path.c_str());
}

void saveGif(const std::string& path, int pages) {
    std::vector<VImage> frames;
    std::vector<int> delays;
    for (int i = 0; i < pages; ++i) {
        frames.push_back(picture(200, 150, 9 * i));
        delays.push_back(i % 2 == 0 ? 40 : 130);
    }
    VImage stacked = VImage::arrayjoin(frames, VImage::option()->set("across", 1)).copy();
    stacked.set("page-height", 150);
    stacked.set("delay", delays.data(), static_cast<int>(delays.size()));
    stacked.gifsave(path.c_str(), VImage::option()->set("dither", 0.0));
}

std::string baseName(const std::string& path) {
    return toolplatform::utf8Of(toolplatform::pathOf(path).filename());
}

// --- Refusals -------------------------------------------------------------------------------------------

struct RefusalCase {
    const char* what;
    const char* method;
    const char* host;    // nullptr: the page's own
    const char* token;   // nullptr: none
    const char* origin;  // nullptr: none; "page": the page's own
    int status;
};

TEST(StudioRefusals, OnlyThePagesOwnRequestsAreServed) {
    ServedStudio studio;
    const std::string port = std::to_string(studio.port());
    const RefusalCase cases[] = {
        {"the page's own", "GET", nullptr, kToken, nullptr, 200},
        {"no token", "GET", nullptr, nullptr, nullptr, 403},
        {"another token", "GET", nullptr, "00000000000000000000000000000000", nullptr, 403},
        {"the token cut short", "GET", nullptr, "0123456789abcdef", nullptr, 403},
        {"a rebound name", "GET", "evil.example", kToken, nullptr, 403},
        {"the right address on another port", "GET", "127.0.0.1:1", kToken, nullptr, 403},
        {"localhost", "GET", "localhost", kToken, nullptr, 200},
        {"a POST from the page", "POST", nullptr, kToken, "page", 200},
        {"a POST from another origin", "POST", nullptr, kToken, "http://evil.example", 403},
        {"a POST from the page's host on another port", "POST", nullptr, kToken, "http://127.0.0.1:1", 403},
        {"a POST without an origin", "POST", nullptr, kToken, nullptr, 403},
        {"a POST without a token", "POST", nullptr, nullptr, "page", 403},
    };
    for (const RefusalCase& row : cases) {
        httplib::Client client("127.0.0.1", studio.port());
        httplib::Headers headers;
        const std::string host = row.host == nullptr ? "127.0.0.1:" + port
                                 : std::string(row.host).find(':') != std::string::npos
                                     ? std::string(row.host)
                                     : std::string(row.host) + ":" + port;
        headers.emplace("Host", host);
        if (row.token != nullptr) {
            headers.emplace("X-Studio-Token", row.token);
        }
        if (row.origin != nullptr) {
            headers.emplace("Origin", std::string(row.origin) == "page" ? studio.origin() : row.origin);
        }
        const httplib::Result result = std::string(row.method) == "GET"
                                           ? client.Get("/api/ping", headers)
                                           : client.Post("/api/files/none/remove", headers, "", "text/plain");
        ASSERT_TRUE(result) << row.what;
        // A POST that passes the checks reaches the route: an unknown file.
        const int expected = row.status == 200 && std::string(row.method) == "POST" ? 404 : row.status;
        EXPECT_EQ(result->status, expected) << row.what;
        if (row.status == 403) {
            EXPECT_FALSE(field(result->body, "error").empty()) << row.what;
        }
    }
}

TEST(StudioRefusals, TheTokenMayComeInTheQueryOrTheCookieTheIndexSets) {
    ServedStudio studio;
    httplib::Client client("127.0.0.1", studio.port());
    const httplib::Result index = client.Get(std::string("/?token=") + kToken);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->status, 200);
    const std::string cookie = index->get_header_value("Set-Cookie");
    const std::string pair = cookie.substr(0, cookie.find(';'));
    EXPECT_EQ(pair, "animstudio" + std::to_string(studio.port()) + "=" + kToken);
    EXPECT_EQ(client.Get("/")->status, 403);
    EXPECT_EQ(client.Get("/", {{"Cookie", pair}})->status, 200);
    EXPECT_EQ(client.Get("/", {{"Cookie", pair + "0"}})->status, 403);
    EXPECT_EQ(client.Get("/", {{"Cookie", "x" + pair}})->status, 403);
}

TEST(StudioRefusals, OnlyThePagesQuitEndsTheStudio) {
    ServedStudio studio;
    httplib::Client client("127.0.0.1", studio.port());
    EXPECT_EQ(client
                  .Post("/api/quit", {{"X-Studio-Token", kToken}, {"Origin", "http://evil.example"}}, "",
                        "text/plain")
                  ->status,
              403);
    EXPECT_FALSE(studio.quitAsked());
    EXPECT_EQ(studio.post("/api/quit", "")->status, 200);
    EXPECT_TRUE(studio.quitAsked());
}

TEST(StudioUploads, ANameWithAFolderInItIsRefused) {
    ServedStudio studio;
    const char* const refused[] = {"", "..", ".", "..%2Fescape.png", "a/b.png", "a%2Fb.png", "a%5Cb.png",
                                   "a\\b.png", "C:x.png", "bad%2", "bad%zz", "a%0Ab.png",
                                   // names Windows takes for devices, or changes
                                   "con", "NUL.png", "com1.gif", "Lpt9.mp4", "shot.png.", "shot.png%20"};
    for (const char* name : refused) {
        const httplib::Result result = studio.upload(name, "bytes");
        ASSERT_TRUE(result) << name;
        EXPECT_EQ(result->status, 400) << name;
    }
    const httplib::Result accepted = studio.upload("%E5%8B%95%E7%94%BB%20one.gif", "bytes");
    ASSERT_TRUE(accepted);
    EXPECT_EQ(accepted->status, 200);
    EXPECT_EQ(field(accepted->body, "name"), "\xE5\x8B\x95\xE7\x94\xBB one.gif");
    // Each upload lands inside the studio's own folder and nowhere else.
    std::size_t files = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(toolplatform::pathOf(studio.folder()))) {
        files += entry.is_regular_file() ? 1U : 0U;
    }
    EXPECT_EQ(files, 1U);
}

TEST(StudioUploads, AFileOverTheLimitIsRefusedAndLeavesNothing) {
    constexpr std::size_t kLimit = 1 << 16;
    ServedStudio studio({}, kLimit);
    const httplib::Result over = studio.upload("big.png", std::string(kLimit + 1, 'x'));
    ASSERT_TRUE(over);
    EXPECT_EQ(over->status, 413);
    EXPECT_NE(over->body.find("--max-upload"), std::string::npos);
    const httplib::Result at = studio.upload("fits.png", std::string(kLimit, 'x'));
    ASSERT_TRUE(at);
    EXPECT_EQ(at->status, 200);
    EXPECT_EQ(field(at->body, "size"), std::to_string(kLimit));
    const std::string session = studio.get("/api/session")->body;
    EXPECT_EQ(session.find("big.png"), std::string::npos);
    EXPECT_NE(session.find("fits.png"), std::string::npos);
}

// --- Streams as animmake makes them ---------------------------------------------------------------------

struct SameBytesCase {
    const char* what;
    std::vector<std::string> inputs;   // made by the test below, by name
    std::string settings;              // the page's
    std::vector<std::string> options;  // animmake's for the same
};

TEST(StudioStreams, AreTheBytesAnimmakeWritesWithTheSameSettings) {
    Scratch scratch;
    savePng(scratch / "one.png", 0);
    savePng(scratch / "two.png", 40);
    saveGif(scratch / "moving.gif", 6);
    const bool videos = animmake::videoSupported();
#ifdef ANIMSTUDIO_TEST_VIDEO
    maketest::ClipPlan clip;
    clip.width = 320;
    clip.height = 180;
    clip.frames = 40;
    clip.timeBaseDen = 25;
    maketest::writeVideo(scratch / "clip.mp4", clip);
#endif
    animmakeStream({"--dither=search"}, {scratch / "moving.gif", scratch / "one.png"},
                   scratch / "joined.bin");
    std::vector<SameBytesCase> cases = {
        {"images, ordered", {"one.png", "two.png"}, "{}", {}},
        {"images, covered on a colour, no delta",
         {"two.png", "one.png"},
         R"({"fit": "cover", "background": "#336699", "delta": false, "dither": "steady"})",
         {"--fit=cover", "--background=#336699", "--no-delta", "--dither=steady"}},
        {"a GIF at its own timing", {"moving.gif"}, R"({"dither": "search"})", {"--dither=search"}},
        {"a GIF with a wait",
         {"moving.gif", "one.png"},
         R"({"wait": 7, "fit": "stretch"})",
         {"-w", "7", "--fit=stretch"}},
        {"a stream retimed",
         {"joined.bin"},
         R"({"fps": 12.5, "start": 0.2, "duration": 1, "dither": "none"})",
         {"--fps=12.5", "--start=0.2", "--duration=1", "--dither=none"}},
        {"a stream and an image",
         {"joined.bin", "two.png"},
         R"({"dither": "diffusion", "fps": null})",
         {"--dither=diffusion"}},
    };
    if (videos && std::filesystem::exists(toolplatform::pathOf(scratch / "clip.mp4"))) {
        cases.push_back({"a video trimmed",
                         {"clip.mp4"},
                         R"({"start": "0.4", "duration": 0.8, "fps": 10})",
                         {"--start=0.4", "--duration=0.8", "--fps=10"}});
        cases.push_back({"a video whole",
                         {"clip.mp4", "moving.gif"},
                         R"({"dither": "search", "maxPixels": 100000})",
                         {"--dither=search", "--max-pixels=100000"}});
    }
    ServedStudio studio;
    for (const SameBytesCase& row : cases) {
        std::vector<std::string> ids;
        std::vector<std::string> paths;
        for (const std::string& input : row.inputs) {
            paths.push_back(scratch / input);
            ids.push_back(studio.uploaded(input, readBytes(paths.back())));
        }
        const std::string made = studio.stream(studio.make(ids, row.settings));
        const std::string expected = animmakeStream(row.options, paths, scratch / "expected.bin");
        ASSERT_FALSE(expected.empty()) << row.what;
        EXPECT_TRUE(made == expected)
            << row.what << ": " << made.size() << " bytes, animmake's " << expected.size();
    }
}

TEST(StudioStreams, TheFramesShownAreTheStreamsPicturesAndWaits) {
    Scratch scratch;
    saveGif(scratch / "moving.gif", 5);
    ServedStudio studio;
    const std::string job =
        studio.make({studio.uploaded("moving.gif", readBytes(scratch / "moving.gif"))}, "{}");
    const std::string stream = studio.stream(job);
    const httplib::Result shown = studio.get("/api/jobs/" + job + "/frames?from=1");
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->get_header_value("X-Frames-Done"), "5");
    ASSERT_EQ(shown->body.size(), 4 * animstudio::kShownFrameBytes);
    // Each frame as the stream's reader resolves it, markers and all.
    const animconv::StreamView view{reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size()};
    animconv::FrameIndices pixels{};
    std::size_t offset = 0;
    for (std::size_t number = 1; number <= 5; ++number) {
        animconv::FrameSummary frame;
        animconv::ProblemReport report;
        ASSERT_EQ(animconv::readFrame(view, offset, number, frame, report, &pixels), animconv::Problem::none);
        offset += frame.bytes;
        if (number == 1) {
            continue;
        }
        const std::string at =
            shown->body.substr((number - 2) * animstudio::kShownFrameBytes, animstudio::kShownFrameBytes);
        EXPECT_EQ(static_cast<std::uint8_t>(at[0]), frame.waitByte) << number;
        EXPECT_TRUE(at.compare(1, std::string::npos, reinterpret_cast<const char*>(pixels.values),
                               sizeof pixels.values) == 0)
            << number;
    }
    EXPECT_EQ(studio.get("/api/jobs/" + job + "/frames?from=5")->body.size(), 0U);
    // Read on, and back from the start (a second tab): the same frames each way.
    EXPECT_TRUE(studio.get("/api/jobs/" + job + "/frames?from=3")->body ==
                shown->body.substr(2 * animstudio::kShownFrameBytes));
    const std::string whole = studio.get("/api/jobs/" + job + "/frames?from=0")->body;
    ASSERT_EQ(whole.size(), 5 * animstudio::kShownFrameBytes);
    EXPECT_TRUE(whole.substr(animstudio::kShownFrameBytes) == shown->body);
    const std::string report = studio.get("/api/jobs/" + job)->body;
    EXPECT_EQ(field(report, "framesDone"), "5");
    EXPECT_EQ(field(report, "bytes"), std::to_string(stream.size()));
    // 40 ms and 130 ms pages: 4 and 13 wait units.
    EXPECT_EQ(field(report, "durationMs"), std::to_string(10 * (4 + 13 + 4 + 13 + 4)));
    const httplib::Result gif = studio.get("/api/jobs/" + job + "/gif");
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->status, 200);
    EXPECT_EQ(gif->body.compare(0, 6, "GIF89a"), 0);
    EXPECT_NE(gif->get_header_value("Content-Disposition").find("filename=\"moving.gif\""),
              std::string::npos);
}

TEST(StudioStreams, ARefusedSettingOrABadFileGetsAnimmakesReason) {
    Scratch scratch;
    writeBytes(scratch / "broken.png", "not an image\n");
    ServedStudio studio;
    const std::string id = studio.uploaded("broken.png", readBytes(scratch / "broken.png"));
    // Each setting as the page sends it, and the option animmake is given for it.
    const struct {
        const char* settings;
        const char* option;
    } refusals[] = {
        {R"({"fps": 0})", "--fps=0"},
        {R"({"wait": 256})", "--wait=256"},
        {R"({"dither": "wobbly"})", "--dither=wobbly"},
        {R"({"background": "#12345"})", "--background=#12345"},
        {R"({"start": "1:60"})", "--start=1:60"},
        {R"({"maxPixels": 0})", "--max-pixels=0"},
    };
    for (const auto& row : refusals) {
        const httplib::Result result =
            studio.post("/api/make", "{\"files\": [\"" + id + "\"], \"settings\": " + row.settings + "}");
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 400) << row.settings;
        EXPECT_EQ(field(result->body, "error"), animmakeRefusal(row.option)) << row.settings;
    }
    const std::string job = studio.startJob({id}, "{}");
    EXPECT_EQ(studio.waitForEnd(job), "failed");
    // animmake's line for the same file, named as the page named it.
    animmake::MakeOptions options;
    std::vector<animmake::InputItem> inputs{{scratch / "broken.png", -1}};
    animmake::StreamOutput output;
    std::string error;
    ASSERT_TRUE(output.open(scratch / "x.bin", animmake::OutputMode::create, error));
    animmake::MakeTotals totals;
    animmake::MakeFailure failure;
    ASSERT_EQ(animmake::makeFrames(inputs, options, output, {}, totals, failure),
              animmake::MakeStatus::failed);
    const std::string expected = "broken.png" + failure.reason.substr(inputs[0].path.size());
    EXPECT_EQ(field(studio.get("/api/jobs/" + job)->body, "error"), expected);
    EXPECT_EQ(studio.get("/api/jobs/" + job + "/stream")->status, 409);
    // And the page goes on working.
    EXPECT_EQ(studio.get("/api/ping")->status, 200);
}

// --- Jobs -----------------------------------------------------------------------------------------------

TEST(StudioJobs, CancelStopsAJobAndDiscardsItsStream) {
    Scratch scratch;
    // Enough frames that the job is still making them when it is cancelled.
    for (int i = 0; i < 60; ++i) {
        picture(1280, 720, i).pngsave((scratch / ("f" + std::to_string(100 + i) + ".png")).c_str());
    }
    ServedStudio studio({scratch / ""});
    const std::string job = studio.startJob({"f1"}, R"({"dither": "search"})");
    EXPECT_EQ(studio.post("/api/jobs/" + job + "/cancel", "")->status, 200);
    EXPECT_EQ(studio.waitForEnd(job), "cancelled");
    const std::string report = studio.get("/api/jobs/" + job)->body;
    EXPECT_LT(std::stoul(field(report, "framesDone")), 60U);
    EXPECT_EQ(studio.get("/api/jobs/" + job + "/stream")->status, 409);
    EXPECT_EQ(studio.post("/api/jobs/nothing/cancel", "")->status, 404);
}

TEST(StudioJobs, TwoJobsRunAtOnceEachWithItsOwnSettings) {
    Scratch scratch;
    saveGif(scratch / "moving.gif", 12);
    ServedStudio studio;
    const std::string id = studio.uploaded("moving.gif", readBytes(scratch / "moving.gif"));
    const std::string ordered = studio.startJob({id}, R"({"dither": "ordered"})");
    const std::string search = studio.startJob({id}, R"({"dither": "search"})");
    EXPECT_EQ(studio.waitForEnd(ordered), "done");
    EXPECT_EQ(studio.waitForEnd(search), "done");
    EXPECT_TRUE(studio.stream(ordered) == animmakeStream({}, {scratch / "moving.gif"}, scratch / "a.bin"));
    EXPECT_TRUE(studio.stream(search) ==
                animmakeStream({"--dither=search"}, {scratch / "moving.gif"}, scratch / "b.bin"));
}

// --- Saving beside a command-line file ------------------------------------------------------------------

TEST(StudioSave, BesideACommandLineFileNeverOverAnInputAndAfterAsking) {
    Scratch scratch;
    saveGif(scratch / "moving.gif", 3);
    animmakeStream({}, {scratch / "moving.gif"}, scratch / "made.bin");
    ServedStudio studio({scratch / "moving.gif", scratch / "made.bin"});
    const std::string gifJob = studio.make({"f1"}, "{}");
    const auto save = [&](const std::string& job, bool overwrite) {
        return studio.post("/api/jobs/" + job + "/save-beside",
                           std::string("{\"overwrite\": ") + (overwrite ? "true" : "false") + "}");
    };
    const httplib::Result first = save(gifJob, false);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 200);
    EXPECT_EQ(baseName(field(first->body, "path")), "moving.bin");
    EXPECT_TRUE(readBytes(scratch / "moving.bin") == studio.stream(gifJob));
    writeBytes(scratch / "moving.bin", "older");
    const httplib::Result again = save(gifJob, false);
    EXPECT_EQ(again->status, 409);
    EXPECT_EQ(field(again->body, "exists"), "true");
    EXPECT_EQ(readBytes(scratch / "moving.bin"), "older");
    EXPECT_EQ(save(gifJob, true)->status, 200);
    EXPECT_TRUE(readBytes(scratch / "moving.bin") == studio.stream(gifJob));
    // made.bin beside made.bin is the input itself: refused, overwrite or not.
    const std::string before = readBytes(scratch / "made.bin");
    const std::string streamJob = studio.make({"f2"}, R"({"wait": 3})");
    EXPECT_EQ(save(streamJob, true)->status, 403);
    EXPECT_TRUE(readBytes(scratch / "made.bin") == before);
    // An upload has no folder to save beside.
    const std::string uploaded =
        studio.make({studio.uploaded("up.gif", readBytes(scratch / "moving.gif"))}, "{}");
    EXPECT_EQ(save(uploaded, true)->status, 403);
}

}  // namespace
