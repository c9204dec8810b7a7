// The encoder against the test side's plain reference encoder (tests/support/reference_stream.h).
// Any shortcut in the encoder (tables, whole-pixel compares, word-wise run scans, buffer swaps) must give
// the same bytes, frame after frame, in both modes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "bmp/bmp.h"
#include "bmp_writer.h"
#include "convert/convert_frame.h"
#include "convert/frame_encoder.h"
#include "frame_content.h"
#include "reference_stream.h"

namespace animconv {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Rng {
    std::uint64_t state;
    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<std::uint32_t>(state);
    }
    std::uint8_t byte() { return static_cast<std::uint8_t>(next()); }
};

// The frame's colours for the test side's reference encoder.
testsupport::Picture pictureOf(const FrameBuffer& frame) {
    testsupport::Picture picture(kFramePixels);
    for (std::size_t i = 0; i < kFramePixels; ++i) {
        const std::uint8_t* p = frame.pixels + i * kPixelBytes;
        picture[i] = {p[0], p[1], p[2]};
    }
    return picture;
}

void setPixel(FrameBuffer& frame, std::size_t index, std::uint8_t blue, std::uint8_t green,
              std::uint8_t red) {
    std::uint8_t* p = frame.pixels + index * kPixelBytes;
    p[0] = blue;
    p[1] = green;
    p[2] = red;
    p[3] = 0;
}

void fillFromColours(FrameBuffer& frame, const std::vector<bmpwriter::Bgr>& colours) {
    for (std::size_t i = 0; i < kFramePixels; ++i) {
        setPixel(frame, i, colours[i].blue, colours[i].green, colours[i].red);
    }
}

// A sequence that visits what the encoder's shortcuts could get wrong.
std::vector<std::unique_ptr<FrameBuffer>> testSequence() {
    std::vector<std::unique_ptr<FrameBuffer>> frames;
    auto add = [&frames]() -> FrameBuffer& {
        frames.push_back(std::make_unique<FrameBuffer>());
        return *frames.back();
    };
    Rng rng{0x1234'5678'9ABC'DEF1ULL};

    // Uniformly random components: runs mostly of one, every level boundary hit.
    FrameBuffer& random = add();
    for (std::size_t i = 0; i < kFramePixels; ++i) {
        setPixel(random, i, rng.byte(), rng.byte(), rng.byte());
    }
    // The same frame again: all unchanged in delta mode.
    add() = random;
    // Small changes: one component by one step (index may stay), in stretches of every length around
    // the short/long boundary and across row ends.
    FrameBuffer& touched = add();
    touched = random;
    for (std::size_t i = 0; i < kFramePixels; i += 1 + rng.next() % 300) {
        const std::size_t length = rng.next() % 260;
        for (std::size_t j = i; j < i + length && j < kFramePixels; ++j) {
            touched.pixels[j * kPixelBytes + rng.next() % 3] ^= 1;
        }
        i += length;
    }
    // Runs of exact lengths around 127/128 and 255/256, in one colour per run, crossing rows.
    FrameBuffer& lengths = add();
    {
        const unsigned runLengths[] = {1, 2, 126, 127, 128, 129, 255, 256, 257, 189, 190, 191, 380, 3};
        std::size_t at = 0;
        std::uint8_t shade = 0;
        for (std::size_t k = 0; at < kFramePixels; ++k) {
            const unsigned length = runLengths[k % std::size(runLengths)];
            for (unsigned j = 0; j < length && at < kFramePixels; ++j, ++at) {
                setPixel(lengths, at, shade, static_cast<std::uint8_t>(shade * 3), 17);
            }
            shade = static_cast<std::uint8_t>(shade + 51);  // next cube level: a new run
        }
    }
    // Colours at the edges of the cube levels: 50/51, 254/255 and so on, pixel by pixel.
    FrameBuffer& edges = add();
    {
        const std::uint8_t levelEdges[] = {0, 50, 51, 101, 102, 152, 153, 203, 204, 254, 255};
        for (std::size_t i = 0; i < kFramePixels; ++i) {
            setPixel(edges, i, levelEdges[i % 11], levelEdges[(i / 11) % 11], levelEdges[(i / 121) % 11]);
        }
    }
    // Stretches where every pixel starts a run, between long runs, at every alignment: the encoder may
    // treat whole blocks of single-pixel runs apart from the rest.
    for (int variant = 0; variant < 2; ++variant) {
        FrameBuffer& mixed = add();
        std::size_t at = 0;
        while (at < kFramePixels) {
            const bool single = rng.next() % 2 == 0;
            const std::size_t length = 1 + rng.next() % (single ? 300 : 400);
            const std::uint8_t colour = rng.byte();
            for (std::size_t j = 0; j < length && at < kFramePixels; ++j, ++at) {
                // 60 apart crosses a cube level, so neighbouring single pixels never share an index.
                const auto step = static_cast<std::uint8_t>(single ? (j % 2) * 60 : 0);
                setPixel(mixed, at, static_cast<std::uint8_t>(colour / 2 + step), colour, 9);
            }
        }
    }
    for (framecontent::Kind kind : framecontent::kAllKinds) {
        for (int frame = 0; frame < 3; ++frame) {
            fillFromColours(add(), framecontent::frameColours(kind, frame));
        }
    }
    // A flat frame after a noise frame, then again: one long run of indices, then one of markers.
    FrameBuffer& flat = add();
    fillFromColours(flat, framecontent::frameColours(framecontent::Kind::flat, 0));
    add() = flat;
    return frames;
}

class EncoderEquivalence : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { state->deltaMode = GetParam(); }
    std::unique_ptr<EncoderState> state = std::make_unique<EncoderState>();
};

TEST_P(EncoderEquivalence, MatchesReferenceFrameAfterFrame) {
    const auto frames = testSequence();
    auto encoded = std::make_unique<EncodedFrame>();
    testsupport::ReferenceStream reference(GetParam() ? testsupport::Mode::delta : testsupport::Mode::plain);
    for (std::size_t n = 0; n < frames.size(); ++n) {
        const auto wait = static_cast<std::uint8_t>(n * 37);
        encodeFrame(*state, *frames[n], wait, *encoded);
        const Bytes expected = reference.nextFrame(pictureOf(*frames[n]), wait);
        ASSERT_EQ(Bytes(encoded->bytes, encoded->bytes + encoded->length), expected) << "frame " << n;
        std::size_t unchanged = 0;
        for (std::size_t i = 0; GetParam() && n > 0 && i < kFramePixels; ++i) {
            unchanged +=
                std::memcmp(frames[n]->pixels + i * 4, frames[n - 1]->pixels + i * 4, 3) == 0 ? 1U : 0U;
        }
        EXPECT_EQ(encoded->unchangedPixels, unchanged) << "frame " << n;
        rememberFrame(*state, *frames[n]);
    }
}

TEST_P(EncoderEquivalence, QuantizePixelMatchesReference) {
    const bool delta = GetParam();
    const auto frames = testSequence();
    for (std::size_t n = 0; n < 3; ++n) {
        const FrameBuffer* previous = n == 0 ? nullptr : frames[n - 1].get();
        for (int y = 0; y < kFrameHeight; y += 7) {
            for (int x = 0; x < kFrameWidth; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x);
                const std::uint8_t* p = frames[n]->pixels + i * 4;
                const bool unchanged =
                    delta && previous != nullptr && std::memcmp(p, previous->pixels + i * 4, 3) == 0;
                const std::uint8_t expected = unchanged ? 0xFE : testsupport::cubeIndexOf({p[0], p[1], p[2]});
                ASSERT_EQ(quantizePixel(*state, *frames[n], x, y), expected) << n << " at " << x << "," << y;
            }
        }
        rememberFrame(*state, *frames[n]);
    }
}

INSTANTIATE_TEST_SUITE_P(BothModes, EncoderEquivalence, ::testing::Values(false, true),
                         [](const auto& param) { return param.param ? "use0xfe" : "no0xfe"; });

TEST(EncoderEquivalence, EveryComponentValueGetsItsLevel) {
    const auto state = std::make_unique<EncoderState>();
    auto frame = std::make_unique<FrameBuffer>();
    for (int value = 0; value < 256; ++value) {
        const auto v = static_cast<std::uint8_t>(value);
        setPixel(*frame, 0, v, 0, 0);
        setPixel(*frame, 1, 0, v, 0);
        setPixel(*frame, 2, 0, 0, v);
        const int level = value / 51;
        EXPECT_EQ(quantizePixel(*state, *frame, 0, 0), 16 + 36 * level) << value;
        EXPECT_EQ(quantizePixel(*state, *frame, 1, 0), 16 + 6 * level) << value;
        EXPECT_EQ(quantizePixel(*state, *frame, 2, 0), 16 + level) << value;
    }
}

// The encoder may compare whole 4-byte pixels only because the decoder writes 0 into every fourth byte,
// whatever the depth, the header kind, or the bytes of the colour table's reserved column.
TEST(DecodedPixelInvariant, FourthByteIsZeroAtEveryDepth) {
    struct Case {
        std::uint16_t depth;
        bmpwriter::HeaderKind header;
    };
    const Case cases[] = {{24, bmpwriter::HeaderKind::info}, {24, bmpwriter::HeaderKind::core},
                          {8, bmpwriter::HeaderKind::info},  {8, bmpwriter::HeaderKind::core},
                          {4, bmpwriter::HeaderKind::info},  {1, bmpwriter::HeaderKind::info}};
    Rng rng{99};
    for (const Case& c : cases) {
        bmpwriter::Layout layout;
        layout.header = c.header;
        layout.bitsPerPixel = c.depth;
        Bytes file;
        if (c.depth == 24) {
            std::vector<bmpwriter::Bgr> colours(kFramePixels);
            for (auto& colour : colours) {
                colour = {rng.byte(), rng.byte(), rng.byte()};
            }
            file = bmpwriter::directBmp(kFrameWidth, kFrameHeight, colours, layout);
        } else {
            const std::size_t entries = std::size_t{1} << c.depth;
            for (std::size_t i = 0; i < entries; ++i) {
                layout.palette.push_back({rng.byte(), rng.byte(), rng.byte()});
            }
            Bytes indices(kFramePixels);
            for (auto& index : indices) {
                index = static_cast<std::uint8_t>(rng.next() % entries);
            }
            file = bmpwriter::indexedBmp(kFrameWidth, kFrameHeight, indices, layout);
            if (c.header == bmpwriter::HeaderKind::info) {
                for (std::size_t i = 0; i < entries; ++i) {
                    file[14 + 40 + i * 4 + 3] = 0xFF;  // reserved byte of each table entry
                }
            }
        }
        file.resize(kInputCapacity, 0xEE);
        auto frame = std::make_unique<FrameBuffer>();
        std::memset(frame->pixels, 0xAB, sizeof frame->pixels);
        ASSERT_EQ(bmpDecode(file.data(), file.size(), frame->pixels, 0), 0) << c.depth;
        for (std::size_t i = 0; i < kFramePixels; ++i) {
            ASSERT_EQ(frame->pixels[i * kPixelBytes + 3], 0) << "depth " << c.depth << " pixel " << i;
        }
    }
}

}  // namespace
}  // namespace animconv
