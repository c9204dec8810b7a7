#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "convert/frame_encoder.h"

namespace animconv {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Colour {
    std::uint8_t blue, green, red;
};

// A fresh encoder state for each test.
class FrameEncoderTest : public testing::Test {
  protected:
    std::unique_ptr<EncoderState> state = std::make_unique<EncoderState>();

    static std::unique_ptr<FrameBuffer> filled(Colour colour) {
        auto frame = std::make_unique<FrameBuffer>();
        for (std::size_t i = 0; i < kFramePixels; ++i) {
            set(*frame, i, colour);
        }
        return frame;
    }

    static void set(FrameBuffer& frame, std::size_t pixel, Colour colour) {
        std::uint8_t* at = frame.pixels + pixel * kPixelBytes;
        at[0] = colour.blue;
        at[1] = colour.green;
        at[2] = colour.red;
        at[3] = 0;
    }

    Bytes encode(const FrameBuffer& frame, std::uint8_t wait) const {
        auto output = std::make_unique<EncodedFrame>();
        encodeFrame(*state, frame, wait, *output);
        return Bytes(output->bytes, output->bytes + output->length);
    }
};

TEST_F(FrameEncoderTest, QuantizesOnTheSixLevelCube) {
    struct Case {
        Colour colour;
        int index;
    };
    const Case cases[] = {
        {{0, 0, 0}, 16},
        {{255, 255, 255}, 231},
        {{254, 254, 254}, 188},
        {{255, 0, 0}, 196},
        {{0, 255, 0}, 46},
        {{0, 0, 255}, 21},
        {{50, 50, 50}, 16},
        {{51, 51, 51}, 59},
        {{101, 102, 153}, 16 + 36 * 1 + 6 * 2 + 3},
        {{203, 204, 0}, 16 + 36 * 3 + 6 * 4},
    };
    for (const Case& c : cases) {
        auto frame = std::make_unique<FrameBuffer>();
        set(*frame, 0, c.colour);
        EXPECT_EQ(quantizePixel(*state, *frame, 0, 0), c.index)
            << int{c.colour.blue} << "," << int{c.colour.green} << "," << int{c.colour.red};
    }
}

TEST_F(FrameEncoderTest, RunRecordsUseTheShortFormUpTo127) {
    struct Case {
        std::uint16_t count;
        Bytes record;
    };
    const Case cases[] = {
        {1, {40, 0x81}},         {127, {40, 0xFF}},       {128, {40, 0x00, 0x80}},
        {255, {40, 0x00, 0xFF}}, {256, {40, 0x01, 0x00}}, {32'300, {40, 0x7E, 0x2C}},
    };
    for (const Case& c : cases) {
        auto output = std::make_unique<EncodedFrame>();
        output->length = 3;  // records are appended after what is there
        writeRun(*output, 40, c.count);
        EXPECT_EQ(Bytes(output->bytes + 3, output->bytes + output->length), c.record) << c.count;
    }
}

TEST_F(FrameEncoderTest, OneColourIsOneRecordAndTheTerminator) {
    EXPECT_EQ(encode(*filled({0, 0, 255}), 10), (Bytes{21, 0x7E, 0x2C, 0xFF, 10}));
}

TEST_F(FrameEncoderTest, RunsContinueFromOneRowIntoTheNext) {
    auto frame = filled({0, 0, 0});
    // The last 3 pixels of row 0 and the first 2 of row 1 are one run of 5, after a long run of 187.
    for (std::size_t pixel = kFrameWidth - 3; pixel < kFrameWidth + 2; ++pixel) {
        set(*frame, pixel, {255, 255, 255});
    }
    const std::uint16_t rest = kFramePixels - kFrameWidth - 2;
    EXPECT_EQ(encode(*frame, 0),
              (Bytes{16, 0x00, kFrameWidth - 3, 231, 0x85, 16, static_cast<std::uint8_t>(rest >> 8),
                     static_cast<std::uint8_t>(rest & 0xFF), 0xFF, 0}));
}

TEST_F(FrameEncoderTest, EveryPixelItsOwnRunFillsTheLargestFrame) {
    auto frame = std::make_unique<FrameBuffer>();
    for (std::size_t i = 0; i < kFramePixels; ++i) {
        set(*frame, i, i % 2 == 0 ? Colour{0, 0, 0} : Colour{255, 255, 255});
    }
    const Bytes bytes = encode(*frame, 7);
    ASSERT_EQ(bytes.size(), kMaxFrameBytes);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), (Bytes{16, 0x81, 231, 0x81}));
    EXPECT_EQ(Bytes(bytes.end() - 4, bytes.end()), (Bytes{231, 0x81, 0xFF, 7}));
}

TEST_F(FrameEncoderTest, DeltaModeMarksPixelsEqualToThePreviousFrame) {
    state->deltaMode = true;
    auto first = filled({10, 20, 30});
    EXPECT_EQ(encode(*first, 1), (Bytes{16, 0x7E, 0x2C, 0xFF, 1})) << "the first frame has no marker";
    rememberFrame(*state, *first);

    EXPECT_EQ(encode(*first, 2), (Bytes{0xFE, 0x7E, 0x2C, 0xFF, 2})) << "the same image again";

    auto second = filled({10, 20, 30});
    set(*second, 5, {255, 0, 0});
    EXPECT_EQ(encode(*second, 3), (Bytes{0xFE, 0x85, 196, 0x81, 0xFE, 0x7E, 0x26, 0xFF, 3}));
}

TEST_F(FrameEncoderTest, DeltaModeComparesColoursNotIndices) {
    state->deltaMode = true;
    auto first = filled({10, 20, 30});
    rememberFrame(*state, *first);
    auto second = filled({10, 20, 30});
    set(*second, 0, {11, 20, 30});  // same cube cell, different colour
    EXPECT_EQ(encode(*second, 0), (Bytes{16, 0x81, 0xFE, 0x7E, 0x2B, 0xFF, 0}));
}

TEST_F(FrameEncoderTest, PlainModeNeverMarksAndStillRemembers) {
    auto frame = filled({0, 255, 0});
    const Bytes once = encode(*frame, 4);
    rememberFrame(*state, *frame);
    EXPECT_TRUE(state->havePreviousFrame);
    EXPECT_EQ(encode(*frame, 4), once);
    EXPECT_EQ(once, (Bytes{46, 0x7E, 0x2C, 0xFF, 4}));
}

TEST_F(FrameEncoderTest, EachStateHasItsOwnPreviousFrame) {
    state->deltaMode = true;
    auto frame = filled({10, 20, 30});
    rememberFrame(*state, *frame);
    auto other = std::make_unique<EncoderState>();
    other->deltaMode = true;
    auto output = std::make_unique<EncodedFrame>();
    encodeFrame(*other, *frame, 1, *output);
    EXPECT_EQ(Bytes(output->bytes, output->bytes + output->length), (Bytes{16, 0x7E, 0x2C, 0xFF, 1}));
    EXPECT_EQ(output->unchangedPixels, 0u);
    EXPECT_EQ(encode(*frame, 1), (Bytes{0xFE, 0x7E, 0x2C, 0xFF, 1}));
}

}  // namespace
}  // namespace animconv
