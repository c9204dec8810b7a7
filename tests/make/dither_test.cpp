// The dithers: exact cube levels, the ordered mix decided in linear light, the same output for the same
// source pixel whatever else changes, and the steady dither's memory of what it chose.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "make/dither/dither.h"
#include "make/dither/dither_choice.h"

namespace {

double linear(double component) {
    const double v = component / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

TEST(OrderedDither, EachValueMixesItsTwoNeighbouringLevelsByLinearLight) {
    for (int value = 0; value < 256; ++value) {
        SCOPED_TRACE(value);
        const int lower = value / 51;
        int upperCount = 0;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const int level = animmake::dither::orderedLevel(value, x, y);
                ASSERT_TRUE(level == lower || (level == lower + 1 && lower < 5)) << level;
                upperCount += level - lower;
            }
        }
        // Over an 8x8 tile the upper level's share is the value's linear-light position between the two, to
        // within the furthest a rank's threshold sits from its even spacing (1.2 of 16); mixing sRGB values
        // instead misses by up to 13 of 64 below level 1.
        const double fraction = lower == 5 ? 0.0
                                           : (linear(value) - linear(lower * 51)) /
                                                 (linear(lower * 51 + 51) - linear(lower * 51));
        EXPECT_NEAR(upperCount, fraction * 64, 4.75);
    }
}

TEST(OrderedDither, FramesHoldOnlyCubeColoursAndUnchangedSourcePixelsStayUnchanged) {
    static animconv::FrameBuffer first;
    static animconv::FrameBuffer second;
    for (std::size_t i = 0; i < animconv::kFramePixels; ++i) {
        for (std::size_t c = 0; c < 3; ++c) {
            first.pixels[i * 4 + c] = static_cast<std::uint8_t>((i * (c + 3) + i / 190) % 256);
        }
        first.pixels[i * 4 + 3] = 0;
    }
    second = first;
    for (std::size_t i = 5000; i < 9000; ++i) {
        second.pixels[i * 4] = static_cast<std::uint8_t>(second.pixels[i * 4] ^ 0x5A);
    }
    animmake::dither::makeDither(animmake::dither::Dither::ordered)->apply(first);
    animmake::dither::makeDither(animmake::dither::Dither::ordered)->apply(second);
    std::size_t differing = 0;
    for (std::size_t i = 0; i < animconv::kFramePixels; ++i) {
        for (std::size_t c = 0; c < 3; ++c) {
            ASSERT_EQ(first.pixels[i * 4 + c] % 51, 0);
        }
        const bool same = std::equal(first.pixels + i * 4, first.pixels + i * 4 + 4, second.pixels + i * 4);
        if (!same) {
            ++differing;
            EXPECT_TRUE(i >= 5000 && i < 9000) << i;
        }
    }
    EXPECT_GT(differing, 0u);
}

// Frame n of a textured picture with a 24x24 square that moves 3 pixels a frame along row 60.
void movingSquareFrame(animconv::FrameBuffer& frame, int n) {
    for (std::size_t i = 0; i < animconv::kFramePixels; ++i) {
        const std::size_t x = i % 190;
        const std::size_t y = i / 190;
        const bool inSquare = y >= 60 && y < 84 && x >= 20 + 3 * static_cast<std::size_t>(n) &&
                              x < 44 + 3 * static_cast<std::size_t>(n);
        for (std::size_t c = 0; c < 3; ++c) {
            const std::size_t texture = (x * 7 + y * 13 + c * 29 + (x * y) % 17) % 40;
            frame.pixels[i * 4 + c] =
                static_cast<std::uint8_t>(inSquare ? 230 - texture : x + c * 20 + texture);
        }
        frame.pixels[i * 4 + 3] = 0;
    }
}

TEST(SteadyDither, ExactLevelsTheSameLevelsForTheSameFramesAndStillRegionsNeverChange) {
    constexpr int kFrames = 8;
    animmake::dither::SteadyDither first;
    animmake::dither::SteadyDither second;
    static animconv::FrameBuffer frame;
    static animconv::FrameBuffer again;
    std::vector<std::uint8_t> firstFrame;
    for (int n = 0; n < kFrames; ++n) {
        SCOPED_TRACE(n);
        movingSquareFrame(frame, n);
        again = frame;
        first.apply(frame);
        second.apply(again);
        ASSERT_TRUE(std::equal(frame.pixels, frame.pixels + sizeof frame.pixels, again.pixels));
        if (n == 0) {
            firstFrame.assign(frame.pixels, frame.pixels + sizeof frame.pixels);
        }
        std::size_t changed = 0;
        for (std::size_t i = 0; i < animconv::kFramePixels; ++i) {
            for (std::size_t c = 0; c < 3; ++c) {
                ASSERT_EQ(frame.pixels[i * 4 + c] % 51, 0) << i;
            }
            ASSERT_EQ(frame.pixels[i * 4 + 3], 0);
            const bool same = std::equal(frame.pixels + i * 4, frame.pixels + i * 4 + 4, &firstFrame[i * 4]);
            const std::size_t x = i % 190;
            const std::size_t y = i / 190;
            const bool onThePath = y >= 60 && y < 84 && x >= 20 && x < 44 + 3 * (kFrames - 1);
            if (!same) {
                ++changed;
                EXPECT_TRUE(onThePath) << "x " << x << " y " << y;
            }
        }
        if (n > 0) {
            EXPECT_GT(changed, 0u);
        }
    }
}

// A frame drawn in flat colours is ordered as a whole; black bars around a photo do not make it one.
TEST(SteadyDither, DrawnFramesAreOrderedAndBarsDoNotMakeAFrameDrawn) {
    struct Case {
        const char* name;
        int barRows;    // black rows above and below the picture
        bool textured;  // a photo-like picture, or a flat background with a few flat-coloured boxes
        bool ordered;   // the whole frame comes out as --dither ordered gives it
    };
    const Case cases[] = {
        {"photo", 0, true, false},
        {"letterboxed photo", 32, true, false},
        {"screen", 0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        static animconv::FrameBuffer frame;
        static animconv::FrameBuffer ordered;
        movingSquareFrame(frame, 0);
        for (std::size_t i = 0; i < animconv::kFramePixels; ++i) {
            const std::size_t x = i % 190;
            const std::size_t y = i / 190;
            for (std::size_t ch = 0; ch < 3; ++ch) {
                std::uint8_t& value = frame.pixels[i * 4 + ch];
                if (!c.textured) {
                    value =
                        static_cast<std::uint8_t>((x / 20 + y / 12) % 3 == 0 ? 200 - 40 * ch : 30 + 5 * ch);
                }
                if (y < static_cast<std::size_t>(c.barRows) ||
                    y >= 170 - static_cast<std::size_t>(c.barRows)) {
                    value = 0;
                }
            }
        }
        ordered = frame;
        animmake::dither::makeDither(animmake::dither::Dither::ordered)->apply(ordered);
        animmake::dither::SteadyDither steady;
        steady.apply(frame);
        EXPECT_EQ(std::equal(frame.pixels, frame.pixels + sizeof frame.pixels, ordered.pixels), c.ordered);
    }
}

}  // namespace
