#include "stream_frames.h"

#include <gtest/gtest.h>

#include "bmp_writer.h"
#include "reference_stream.h"

namespace testsupport {
namespace {

std::uint8_t cut(std::uint8_t component) {
    return static_cast<std::uint8_t>(component / 51 * 51);
}

Rgb quantizedColour(Bgr colour) {
    return Rgb{cut(colour.red), cut(colour.green), cut(colour.blue)};
}

std::uint8_t wrap(std::uint32_t value) {
    return static_cast<std::uint8_t>(value % 256);
}

SourceFrame directFrame(const std::vector<Bgr>& colours, bmpwriter::HeaderKind header, std::uint8_t wait) {
    bmpwriter::Layout layout;
    layout.header = header;
    SourceFrame frame;
    frame.bmp = bmpwriter::directBmp(kWidth, kHeight, colours, layout);
    for (const Bgr& colour : colours) {
        frame.quantized.push_back(quantizedColour(colour));
    }
    frame.wait = wait;
    return frame;
}

SourceFrame indexedFrame(const std::vector<std::uint8_t>& indices, const std::vector<Bgr>& palette,
                         std::uint16_t bits, bmpwriter::HeaderKind header, std::uint8_t wait) {
    bmpwriter::Layout layout;
    layout.header = header;
    layout.bitsPerPixel = bits;
    layout.palette = palette;
    SourceFrame frame;
    frame.bmp = bmpwriter::indexedBmp(kWidth, kHeight, indices, layout);
    for (std::uint8_t index : indices) {
        frame.quantized.push_back(quantizedColour(palette[index]));
    }
    frame.wait = wait;
    return frame;
}

}  // namespace

std::vector<SourceFrame> mixedDepthFrames() {
    const std::size_t pixels = std::size_t{kWidth} * kHeight;
    std::vector<Bgr> gradient(pixels);
    std::vector<std::uint8_t> ramp(pixels);
    std::vector<std::uint8_t> tiles(pixels);
    std::vector<std::uint8_t> stripes(pixels);
    for (std::uint32_t y = 0; y < kHeight; ++y) {
        for (std::uint32_t x = 0; x < kWidth; ++x) {
            const std::size_t i = std::size_t{y} * kWidth + x;
            // Sweeps every component value, so each level boundary (50/51, ..., 254/255) is crossed.
            gradient[i] = Bgr{wrap(x * 7 + y), wrap(y * 3 + x * 5), wrap(x * y + 13)};
            ramp[i] = wrap(x + 3 * y);
            tiles[i] = static_cast<std::uint8_t>((x / 10 + y / 10) % 16);
            stripes[i] = static_cast<std::uint8_t>((x / 5 + y / 7) % 2);
        }
    }
    std::vector<Bgr> rampPalette(256);
    for (std::uint32_t i = 0; i < 256; ++i) {
        rampPalette[i] = Bgr{wrap(i), wrap(255 - i), wrap(i * 37)};
    }
    std::vector<Bgr> tilePalette(16);
    for (std::uint32_t i = 0; i < 16; ++i) {
        tilePalette[i] = Bgr{wrap(i * 17), wrap(i * 51), wrap(255 - i * 17)};
    }
    const std::vector<Bgr> stripePalette = {{10, 200, 100}, {250, 3, 52}};

    // Frame 2's colours in 24 bits, with a white block that no ramp colour can equal.
    std::vector<Bgr> rampWithBlock(pixels);
    std::vector<Bgr> stripeColours(pixels);
    for (std::uint32_t y = 0; y < kHeight; ++y) {
        for (std::uint32_t x = 0; x < kWidth; ++x) {
            const std::size_t i = std::size_t{y} * kWidth + x;
            const bool inBlock = x >= 20 && x < 60 && y >= 30 && y < 80;
            rampWithBlock[i] = inBlock ? Bgr{255, 255, 255} : rampPalette[ramp[i]];
            stripeColours[i] = stripePalette[stripes[i]];
        }
    }
    stripeColours[5] = Bgr{1, 2, 3};

    using bmpwriter::HeaderKind;
    return {
        directFrame(gradient, HeaderKind::info, 10),
        indexedFrame(ramp, rampPalette, 8, HeaderKind::info, 0),
        directFrame(rampWithBlock, HeaderKind::core, 255),
        indexedFrame(tiles, tilePalette, 4, HeaderKind::info, 7),
        indexedFrame(stripes, stripePalette, 1, HeaderKind::core, 1),
        directFrame(stripeColours, HeaderKind::info, 100),
    };
}

ProcessResult convertFrames(const std::string& animconv, const std::vector<SourceFrame>& frames,
                            const std::string& mode, const std::string& streamPath,
                            const std::string& folder) {
    std::vector<std::string> arguments = {mode, streamPath};
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::string path = folder + "/source-" + std::to_string(i + 1) + ".bmp";
        writeFile(path, frames[i].bmp);
        arguments.push_back(path);
        arguments.push_back(std::to_string(frames[i].wait));
    }
    return runProgram(animconv, arguments, folder);
}

std::vector<DecodedFrame> decodeStream(const std::vector<std::uint8_t>& stream) {
    const animconv::StreamView view{stream.data(), stream.size()};
    std::vector<DecodedFrame> frames;
    static animconv::FrameIndices pixels;
    std::size_t offset = 0;
    while (offset < stream.size()) {
        animconv::FrameSummary summary;
        animconv::ProblemReport report;
        if (animconv::readFrame(view, offset, frames.size() + 1, summary, report, &pixels) !=
            animconv::Problem::none) {
            ADD_FAILURE() << animconv::verdictLine(report);
            break;
        }
        DecodedFrame frame;
        for (std::uint8_t index : pixels.values) {
            frame.colours.push_back(animconv::cubeColour(index));
        }
        frame.waitByte = summary.waitByte;
        frame.unchangedPixels = summary.unchangedPixels;
        frames.push_back(frame);
        offset += summary.bytes;
    }
    return frames;
}

}  // namespace testsupport
