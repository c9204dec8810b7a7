// The steady and search dithers' decisions, each on a scene made for it: a digest of the levels over the
// scene's frames, recorded when the output was last meant to change, and a check that the scene makes the
// decision it is named after (so that the digest is not of a scene that exercises nothing).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dither_scenes.h"
#include "make/dither/dither.h"
#include "make/dither/dither_choice.h"
#include "make/dither/search_dither.h"

namespace {

using testsupport::kSceneHeight;
using testsupport::kScenePixels;
using testsupport::kSceneWidth;
using testsupport::SceneFrame;

SceneFrame ordered(SceneFrame frame) {
    static animconv::FrameBuffer buffer;
    std::memcpy(buffer.pixels, frame.data(), sizeof buffer.pixels);
    animmake::dither::makeDither(animmake::dither::Dither::ordered)->apply(buffer);
    frame.assign(buffer.pixels, buffer.pixels + sizeof buffer.pixels);
    return frame;
}

std::vector<SceneFrame> dithered(animmake::dither::FrameDither& dither,
                                 const std::vector<SceneFrame>& sources) {
    static animconv::FrameBuffer buffer;
    std::vector<SceneFrame> out;
    for (const SceneFrame& source : sources) {
        std::memcpy(buffer.pixels, source.data(), sizeof buffer.pixels);
        dither.apply(buffer);
        out.emplace_back(buffer.pixels, buffer.pixels + sizeof buffer.pixels);
    }
    return out;
}

std::vector<SceneFrame> steady(const std::vector<SceneFrame>& sources) {
    animmake::dither::SteadyDither dither;
    return dithered(dither, sources);
}

std::vector<SceneFrame> searched(const std::vector<SceneFrame>& sources) {
    animmake::dither::SearchDither dither;
    return dithered(dither, sources);
}

struct Region {
    int left = 0;
    int top = 0;
    int right = kSceneWidth;
    int bottom = kSceneHeight;
};
constexpr Region kWhole{};

// The share of the region's pixels that are the same in both frames.
double sameShare(const SceneFrame& a, const SceneFrame& b, Region r = kWhole) {
    std::size_t same = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            const std::size_t i =
                (static_cast<std::size_t>(y) * kSceneWidth + static_cast<std::size_t>(x)) * 4;
            same += std::equal(&a[i], &a[i + 4], &b[i]) ? 1U : 0U;
        }
    }
    return static_cast<double>(same) / ((r.right - r.left) * (r.bottom - r.top));
}

// The frame with every component raised by `by`.
SceneFrame raised(SceneFrame frame, int by) {
    for (std::size_t i = 0; i < frame.size(); i += 4) {
        for (std::size_t c = 0; c < 3; ++c) {
            frame[i + c] = static_cast<std::uint8_t>(frame[i + c] + by);
        }
    }
    return frame;
}

// The square of withSquare at `left`.
Region square(int left) {
    return {left, 60, left + 24, 84};
}

struct SceneRun {
    std::vector<SceneFrame> sources;
    std::vector<SceneFrame> out;
    SceneFrame ordered(std::size_t n) const { return ::ordered(sources[n]); }
};

struct Case {
    const char* name;
    int frames;
    SceneFrame (*scene)(int n);
    std::uint64_t digest;
    void (*check)(const SceneRun& run);
};

const Case kSteadyCases[] = {
    {"first frame: diffused whole", 1, [](int) { return testsupport::texturedScene(0); },
     0x86fcdb936e30a76aULL,
     [](const SceneRun& run) { EXPECT_LT(sameShare(run.out[0], run.ordered(0)), 0.7); }},
    {"cut: the new picture diffused at once, as a first frame", 5,
     [](int n) { return testsupport::texturedScene(n < 3 ? 0 : 1); }, 0xfb42f7037689aafaULL,
     [](const SceneRun& run) {
         EXPECT_EQ(run.out[3], steady({run.sources[3]})[0]);
         EXPECT_EQ(run.out[4], run.out[3]);
     }},
    {"pan: ordered as a whole", 30, [](int n) { return testsupport::driftedScene(0.04 * n); },
     0x8b0832d540cb0502ULL,
     [](const SceneRun& run) {
         EXPECT_LT(sameShare(run.out[0], run.ordered(0)), 0.7);
         EXPECT_GT(sameShare(run.out[29], run.ordered(29)), 0.99);
     }},
    {"moving block: ordered, the rest kept", 6,
     [](int n) { return testsupport::withSquare(testsupport::texturedScene(0), 20 + 3 * n); },
     0x922c0d8397cc43d5ULL,
     [](const SceneRun& run) {
         EXPECT_GT(sameShare(run.out[5], run.ordered(5), square(35)), 0.95);
         EXPECT_EQ(sameShare(run.out[5], run.out[0], {0, 0, kSceneWidth, 60}), 1.0);
         EXPECT_EQ(sameShare(run.out[5], run.out[0], {0, 84, kSceneWidth, kSceneHeight}), 1.0);
     }},
    {"background uncovered: its levels taken back", 5,
     [](int n) {
         const SceneFrame background = testsupport::texturedScene(0);
         return n == 0 ? background : testsupport::withSquare(background, 20 + 30 * (n - 1));
     },
     0x6b4eac8dc4d5fb37ULL,
     [](const SceneRun& run) {
         EXPECT_LT(sameShare(run.out[1], run.out[0], square(20)), 0.5);
         EXPECT_EQ(sameShare(run.out[4], run.out[0], square(20)), 1.0);
         EXPECT_EQ(sameShare(run.out[4], run.out[0], {0, 0, 110, kSceneHeight}), 1.0);
     }},
    {"block settling: diffused once at rest, then kept", 20,
     [](int n) { return testsupport::withSquare(testsupport::texturedScene(0), 20 + 3 * std::min(n, 4)); },
     0xf95f93e5d4f89818ULL,
     [](const SceneRun& run) {
         EXPECT_GT(sameShare(run.out[5], run.ordered(5), {44, 60, 56, 84}), 0.95);
         EXPECT_LT(sameShare(run.out[19], run.ordered(19), {44, 60, 56, 84}), 0.8);
         EXPECT_EQ(run.out[19], run.out[18]);
     }},
    {"drawn frame: ordered everywhere", 4, [](int n) { return testsupport::drawnScene(n == 0 ? -1 : n); },
     0xdb75f37c664df145ULL,
     [](const SceneRun& run) {
         for (std::size_t n = 0; n < run.out.size(); ++n) {
             EXPECT_EQ(run.out[n], run.ordered(n)) << n;
         }
     }},
    {"centred bars: not a drawn frame", 2,
     [](int n) {
         return testsupport::withBars(testsupport::texturedScene(0), 30 + 10 * n, 30 + 10 * n, n == 1);
     },
     0x7f36337b1cb007c2ULL,
     [](const SceneRun& run) {
         EXPECT_LT(sameShare(run.out[0], run.ordered(0), {0, 30, kSceneWidth, 140}), 0.7);
         EXPECT_LT(sameShare(run.out[1], run.ordered(1), {40, 0, 150, kSceneHeight}), 0.7);
     }},
    {"bars at one side: a drawn frame", 1,
     [](int) { return testsupport::withBars(testsupport::texturedScene(0), 0, 60, false); },
     0x4bc1bc30e8f6d8d9ULL, [](const SceneRun& run) { EXPECT_EQ(run.out[0], run.ordered(0)); }},
};

// Every case's scene through `dither`: its decision checked, its digest compared.
template <std::size_t kCount>
void expectDecisions(const Case (&cases)[kCount],
                     std::vector<SceneFrame> (*dither)(const std::vector<SceneFrame>&)) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SceneRun run;
        for (int n = 0; n < c.frames; ++n) {
            run.sources.push_back(c.scene(n));
        }
        run.out = dither(run.sources);
        c.check(run);
        EXPECT_EQ(testsupport::levelDigest(run.out), c.digest)
            << std::hex << testsupport::levelDigest(run.out);
    }
}

TEST(SteadyDitherDecisions, EachSceneMakesItsDecisionAndKeepsItsDigest) {
    expectDecisions(kSteadyCases, steady);
}

// The colours (as one number) the frame uses in the region.
std::size_t colourCount(const SceneFrame& frame, Region r) {
    std::vector<bool> seen(216);
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            const std::size_t i =
                (static_cast<std::size_t>(y) * kSceneWidth + static_cast<std::size_t>(x)) * 4;
            seen[static_cast<std::size_t>(frame[i] / 51 * 36 + frame[i + 1] / 51 * 6 + frame[i + 2] / 51)] =
                true;
        }
    }
    return static_cast<std::size_t>(std::count(seen.begin(), seen.end(), true));
}

constexpr std::uint8_t kNavy[3] = {90, 30, 20};  // blue, green, red

const Case kSearchCases[] = {
    {"first frame: searched from the ordered levels, closer to the source after the blur", 1,
     [](int) { return testsupport::texturedScene(0); }, 0x1ed82c0f02de39f2ULL,
     [](const SceneRun& run) {
         const double same = sameShare(run.out[0], run.ordered(0));
         EXPECT_GT(same, 0.3);
         EXPECT_LT(same, 0.95);
         EXPECT_LT(testsupport::blurredError(run.sources[0], run.out[0]),
                   0.9 * testsupport::blurredError(run.sources[0], run.ordered(0)));
     }},
    {"bracket: near white and grey, every component on one of the two levels around its source", 3,
     [](int n) { return raised(testsupport::texturedScene(1), 3 * n); }, 0xd3b1ce9a00a4449fULL,
     [](const SceneRun& run) {
         for (std::size_t n = 0; n < run.out.size(); ++n) {
             EXPECT_EQ(testsupport::offBracket(run.sources[n], run.out[n]), 0U) << n;
         }
     }},
    {"a change of 2 kept, of 12 searched again from the ordered levels", 3,
     [](int n) {
         return raised(testsupport::texturedScene(0), n == 0 ? 0 : n == 1 ? 2 : 14);
     },
     0x4905b5c143174b7dULL,
     [](const SceneRun& run) {
         EXPECT_GT(sameShare(run.out[1], run.out[0]), 0.97);
         EXPECT_LT(sameShare(run.out[2], run.out[1]), 0.5);
         EXPECT_LT(testsupport::blurredError(run.sources[2], run.out[2]),
                   0.9 * testsupport::blurredError(run.sources[2], run.ordered(2)));
     }},
    {"moving square: searched within the blur's reach of where the source moved, kept elsewhere", 4,
     [](int n) { return testsupport::withSquare(testsupport::texturedScene(0), 20 + 4 * n); },
     0xc5671afdc3251abeULL,
     [](const SceneRun& run) {
         EXPECT_EQ(sameShare(run.out[3], run.out[0], {0, 0, kSceneWidth, 57}), 1.0);
         EXPECT_EQ(sameShare(run.out[3], run.out[0], {0, 87, kSceneWidth, kSceneHeight}), 1.0);
         EXPECT_EQ(sameShare(run.out[3], run.out[0], {63, 60, kSceneWidth, 84}), 1.0);
         EXPECT_LT(sameShare(run.out[3], run.out[0], square(32)), 0.9);
     }},
    {"drift: every pixel searched again, still closer than ordered", 3,
     [](int n) { return testsupport::driftedScene(0.5 * n); }, 0x8eed052439c71c8dULL,
     [](const SceneRun& run) {
         EXPECT_LT(sameShare(run.out[2], run.out[1]), 0.9);
         EXPECT_LT(testsupport::blurredError(run.sources[2], run.out[2]),
                   0.9 * testsupport::blurredError(run.sources[2], run.ordered(2)));
     }},
    {"slow pan, a twentieth of a pixel a frame for 300 frames: no drift from the source", 300,
     [](int n) { return testsupport::driftedScene(0.05 * n); }, 0xc77e820824e66353ULL,
     [](const SceneRun& run) {
         for (std::size_t n = 0; n < run.out.size(); n += 50) {
             EXPECT_LT(testsupport::blurredError(run.sources[n], run.out[n]),
                       testsupport::blurredError(run.sources[n], run.ordered(n)))
                 << n;
         }
         // Against ordered's on the same frame, the last frame no further than once the pan got going.
         const auto against = [&run](std::size_t n) {
             return testsupport::blurredError(run.sources[n], run.out[n]) /
                    testsupport::blurredError(run.sources[n], run.ordered(n));
         };
         EXPECT_LT(against(299), 1.05 * against(50)) << against(299) << " " << against(50);
     }},
    {"bars: black kept black beside a changing picture", 3,
     [](int n) { return testsupport::withBars(testsupport::texturedScene(n % 2), 30, 30, false); },
     0x3af747b3fab63a80ULL,
     [](const SceneRun& run) {
         for (const SceneFrame& out : run.out) {
             EXPECT_EQ(sameShare(out, SceneFrame(out.size(), 0), {0, 0, kSceneWidth, 28}), 1.0);
             EXPECT_EQ(sameShare(out, SceneFrame(out.size(), 0), {0, 142, kSceneWidth, kSceneHeight}), 1.0);
         }
     }},
    {"flat areas: a navy background and --background '#202020' bars as ordered makes them, in its colours", 3,
     [](int n) {
         return testsupport::withBars(
             testsupport::withFlat(testsupport::texturedScene(n % 2), 0, 0, 80, kSceneHeight, kNavy), 30, 30,
             false, 0x20);
     },
     0xde379b72887047ebULL,
     [](const SceneRun& run) {
         const Region bar{0, 0, kSceneWidth, 29};
         const Region navy{0, 31, 79, 139};
         for (std::size_t n = 0; n < run.out.size(); ++n) {
             EXPECT_EQ(sameShare(run.out[n], run.ordered(n), bar), 1.0) << n;
             EXPECT_EQ(sameShare(run.out[n], run.ordered(n), navy), 1.0) << n;
             EXPECT_EQ(colourCount(run.out[n], bar), 2U) << n;  // black and the grey at level 1
             EXPECT_LE(colourCount(run.out[n], navy), colourCount(run.ordered(n), navy)) << n;
             EXPECT_EQ(testsupport::offBracket(run.sources[n], run.out[n]), 0U) << n;
         }
     }},
};

TEST(SearchDitherDecisions, EachSceneMakesItsDecisionAndKeepsItsDigest) {
    expectDecisions(kSearchCases, searched);
}

}  // namespace
