// The search dither's rules: the two levels around every source value, what it keeps, what it keeps exact,
// what it orders, what it follows, and that the same frames give the same levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "dither_scenes.h"
#include "make/dither/dither.h"
#include "make/dither/dither_choice.h"
#include "make/dither/search_dither.h"

namespace {

using animconv::FrameBuffer;
using animconv::kFramePixels;
constexpr int kWidth = 190;
constexpr int kHeight = 170;

// A busy picture whose components all lie 4 to 47 above a cube level: never exact, and still not exact
// after a change of up to 3 either way.
std::uint8_t texture(int x, int y, int c, int seed) {
    const int h = (x * 7 + y * 13 + c * 29 + seed * 5 + (x * y) % 17) % 230;
    return static_cast<std::uint8_t>(51 * (h / 46) + 4 + h % 44);
}

void fill(FrameBuffer& frame, const std::function<std::uint8_t(int, int, int)>& component) {
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            std::uint8_t* pixel =
                &frame.pixels[(static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)) * 4];
            for (int c = 0; c < 3; ++c) {
                pixel[c] = component(x, y, c);
            }
            pixel[3] = 0;
        }
    }
}

double linear(int component) {
    const double v = component / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// The share of pixels that are the same in both frames.
double sameShare(const FrameBuffer& a, const FrameBuffer& b) {
    std::size_t same = 0;
    for (std::size_t p = 0; p < kFramePixels; ++p) {
        same += std::equal(&a.pixels[p * 4], &a.pixels[p * 4 + 4], &b.pixels[p * 4]) ? 1U : 0U;
    }
    return static_cast<double>(same) / kFramePixels;
}

struct Case {
    const char* rule;
    int frames;
    std::function<std::uint8_t(int x, int y, int c, int n)> source;
    // Called for every frame after the first with its source, its output and the output before.
    std::function<void(const FrameBuffer& source, const FrameBuffer& made, const FrameBuffer& before)> check;
};

bool blackAround(const FrameBuffer& source, int x, int y) {
    for (int sy = std::max(y - 2, 0); sy <= std::min(y + 2, kHeight - 1); ++sy) {
        for (int sx = std::max(x - 2, 0); sx <= std::min(x + 2, kWidth - 1); ++sx) {
            const std::uint8_t* p =
                &source.pixels[(static_cast<std::size_t>(sy) * kWidth + static_cast<std::size_t>(sx)) * 4];
            if (p[0] != 0 || p[1] != 0 || p[2] != 0) {
                return false;
            }
        }
    }
    return true;
}

TEST(SearchDither, Rules) {
    const Case cases[] = {
        {"a source that stands still keeps its levels", 3,
         [](int x, int y, int c, int) { return texture(x, y, c, 0); },
         [](const FrameBuffer&, const FrameBuffer& made, const FrameBuffer& before) {
             EXPECT_TRUE(std::equal(made.pixels, made.pixels + sizeof made.pixels, before.pixels));
         }},
        {"a source that moves by up to 2 (a camera's noise) keeps most levels: leaving them costs", 5,
         [](int x, int y, int c, int n) {
             return static_cast<std::uint8_t>(texture(x, y, c, 0) + (x * 3 + y + n * 5 + c) % 3);
         },
         [](const FrameBuffer&, const FrameBuffer& made, const FrameBuffer& before) {
             EXPECT_GT(sameShare(made, before), 0.99);
         }},
        {"a pixel inside an area of one colour takes the ordered levels, bars of any grey too", 2,
         [](int x, int y, int c, int n) {
             constexpr std::uint8_t kNavy[3] = {90, 30, 20};  // blue, green, red
             if (y < 20 || y >= 150) {
                 return std::uint8_t{0x20};
             }
             return x < 95 ? kNavy[c] : texture(x, y, c, 3 * n);
         },
         [](const FrameBuffer& source, const FrameBuffer& made, const FrameBuffer&) {
             static FrameBuffer ordered;
             ordered = source;
             animmake::dither::makeDither(animmake::dither::Dither::ordered)->apply(ordered);
             for (int y = 0; y < kHeight; ++y) {
                 for (int x = 0; x < kWidth; ++x) {
                     const std::size_t at =
                         (static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)) * 4;
                     const bool inside = (y < 19 || (y > 20 && y < 149) || y > 150) && x < 94;
                     if (inside || y < 19 || y > 150) {
                         ASSERT_TRUE(std::equal(&made.pixels[at], &made.pixels[at + 3], &ordered.pixels[at]))
                             << "x " << x << " y " << y;
                     }
                 }
             }
         }},
        {"a pixel whose 5x5 source neighbourhood is black stays black, next to a changing picture", 4,
         [](int x, int y, int c, int n) {
             return y < 30 || x < 20 || x >= 170 ? std::uint8_t{0} : texture(x, y, c, 7 * n);
         },
         [](const FrameBuffer& source, const FrameBuffer& made, const FrameBuffer&) {
             for (int y = 0; y < kHeight; ++y) {
                 for (int x = 0; x < kWidth; ++x) {
                     const std::uint8_t* p =
                         &made.pixels[(static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)) *
                                      4];
                     if (blackAround(source, x, y)) {
                         ASSERT_TRUE(p[0] == 0 && p[1] == 0 && p[2] == 0) << "x " << x << " y " << y;
                     }
                 }
             }
         }},
        {"a component exactly on a level stays on it: flat screen colours, white, a channel at 0", 3,
         [](int x, int y, int c, int n) {
             if (x < 95) {
                 constexpr std::uint8_t kColours[3][3] = {{51, 204, 255}, {255, 255, 255}, {0, 102, 153}};
                 return kColours[(y / 10 + n) % 3][c];
             }
             return c == 1 ? std::uint8_t{153} : texture(x, y, c, 3 * n);
         },
         [](const FrameBuffer& source, const FrameBuffer& made, const FrameBuffer&) {
             for (std::size_t i = 0; i < sizeof made.pixels; ++i) {
                 if (i % 4 != 3 && source.pixels[i] % 51 == 0) {
                     ASSERT_EQ(made.pixels[i], source.pixels[i]) << i;
                 }
             }
         }},
        {"a change beyond the hold is followed: the mix of levels matches the new grey in linear light", 2,
         [](int, int, int, int n) { return static_cast<std::uint8_t>(n == 0 ? 60 : 190); },
         [](const FrameBuffer&, const FrameBuffer& made, const FrameBuffer&) {
             double sum = 0;
             for (std::size_t i = 0; i < sizeof made.pixels; ++i) {
                 sum += i % 4 == 3 ? 0.0 : linear(made.pixels[i]);
             }
             EXPECT_NEAR(sum / (kFramePixels * 3), linear(190), 0.01);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        animmake::dither::SearchDither dither;
        static FrameBuffer source;
        static FrameBuffer made;
        static FrameBuffer before;
        for (int n = 0; n < c.frames; ++n) {
            fill(source, [&](int x, int y, int component) { return c.source(x, y, component, n); });
            made = source;
            dither.apply(made);
            for (std::size_t i = 0; i < sizeof made.pixels; ++i) {
                ASSERT_EQ(made.pixels[i] % 51, 0) << i;
                ASSERT_TRUE(i % 4 != 3 || made.pixels[i] == 0) << i;
                // On one of the two levels around the source value (on it when the value is a level).
                const int value = source.pixels[i];
                const int level = made.pixels[i] / 51;
                ASSERT_TRUE(i % 4 == 3 || level == value / 51 || (value % 51 != 0 && level == value / 51 + 1))
                    << i << ": " << value << " made level " << level;
            }
            if (n > 0) {
                c.check(source, made, before);
            }
            before = made;
        }
    }
}

double blurredError(const FrameBuffer& source, const FrameBuffer& made) {
    return testsupport::blurredError(
        testsupport::SceneFrame(source.pixels, source.pixels + sizeof source.pixels),
        testsupport::SceneFrame(made.pixels, made.pixels + sizeof made.pixels));
}

// On a photo-like picture (soft shapes, a little grain), even with the cost of its runs; ordered's own
// levels are where the search starts.
TEST(SearchDither, CloserThanOrderedAfterTheBlur) {
    static FrameBuffer source;
    static FrameBuffer ordered;
    static FrameBuffer searched;
    fill(source, [](int x, int y, int c) {
        const double shape = 60 * std::sin(x / 9.0 + c) * std::cos(y / 7.0) + 8 * std::sin(x * 2.3 + y * 1.7);
        return static_cast<std::uint8_t>(120 + shape);
    });
    ordered = source;
    searched = source;
    animmake::dither::makeDither(animmake::dither::Dither::ordered)->apply(ordered);
    animmake::dither::SearchDither dither;
    dither.apply(searched);
    EXPECT_LT(blurredError(source, searched), 0.8 * blurredError(source, ordered));
}

TEST(SearchDither, TheSameFramesGiveTheSameLevels) {
    animmake::dither::SearchDither first;
    animmake::dither::SearchDither second;
    static FrameBuffer a;
    static FrameBuffer b;
    for (int n = 0; n < 5; ++n) {
        fill(a, [&](int x, int y, int c) { return texture((x + 3 * n) % kWidth, y, c, n / 2); });
        b = a;
        first.apply(a);
        second.apply(b);
        ASSERT_TRUE(std::equal(a.pixels, a.pixels + sizeof a.pixels, b.pixels)) << n;
    }
}

}  // namespace
