// How a stream made from real footage looks against the frames it was made from, with what a viewer
// notices first. The source frames are animmake's own fitted frames before dithering, as
// `animmake --dither none --frames-dir DIR` writes them (24-bit BMPs).
//
//   dE        mean delta E 1976 after stream and source are taken to linear light, blurred (Gaussian,
//             sigma 1 px) and converted to CIELAB
//   bytes     the stream's size
//   flicker   for every frame after the first, the mean delta E between how the blurred stream changed and
//             how the blurred source changed
//   barDots   stream pixels, summed over all frames, that are not black where the source's 5x5
//             neighbourhood is pure black (dots in black bars)
//   still     of the pixels whose source moved by at most 2 levels in every component since the previous
//             frame, the share whose stream value changed (texture switching where nothing moves)
//   offBracket the share of pixels with a component on neither of the two cube levels bracketing its
//             source value (colour specks)
//   flatColours over the source's flat areas (5x5 of one colour), the stream colours used per source
//             colour, mean over the frames
//   worstFrame the largest single frame's dE
//
// With PER_FRAME, every frame's dE is written there, one a line, to compare with another dither's.
//
//   footage_quality SOURCE_DIR STREAM [PER_FRAME]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "stream/stream_format.h"
#include "stream/stream_reader.h"
#include "viewed_colour.h"

namespace {

constexpr int kWidth = 190;
constexpr int kHeight = 170;
constexpr std::size_t kPixels = std::size_t{kWidth} * kHeight;

// Per pixel: its 5x5 neighbourhood (within the frame) is pure black.
std::vector<bool> blackAround(const std::vector<std::uint8_t>& rgb) {
    std::vector<bool> black(kPixels);
    for (std::size_t i = 0; i < kPixels; ++i) {
        black[i] = rgb[i * 3] == 0 && rgb[i * 3 + 1] == 0 && rgb[i * 3 + 2] == 0;
    }
    std::vector<bool> around(kPixels);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            bool all = true;
            for (int dy = -2; dy <= 2 && all; ++dy) {
                for (int dx = -2; dx <= 2 && all; ++dx) {
                    const int sx = std::clamp(x + dx, 0, kWidth - 1);
                    const int sy = std::clamp(y + dy, 0, kHeight - 1);
                    all = black[static_cast<std::size_t>(sy * kWidth + sx)];
                }
            }
            around[static_cast<std::size_t>(y * kWidth + x)] = all;
        }
    }
    return around;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: footage_quality SOURCE_DIR STREAM [PER_FRAME]\n");
        return 2;
    }
    const std::string sources = argv[1];
    const std::vector<std::uint8_t> bytes = benchview::fileBytes(argv[2]);
    const animconv::StreamView stream{bytes.data(), bytes.size()};
    static animconv::FrameIndices indices;
    static animconv::FrameIndices previousIndices;
    std::size_t offset = 0;
    std::size_t frames = 0;
    double deltaE = 0;
    double flicker = 0;
    std::uint64_t barDots = 0;
    std::uint64_t stillPixels = 0;
    std::uint64_t stillChanged = 0;
    std::uint64_t offBracket = 0;
    double flatColours = 0;
    double worstFrame = 0;
    std::FILE* perFrame = argc == 4 ? std::fopen(argv[3], "w") : nullptr;
    if (argc == 4 && perFrame == nullptr) {
        std::fprintf(stderr, "footage_quality: cannot write %s\n", argv[3]);
        return 1;
    }
    std::vector<std::uint8_t> lastSource;
    benchview::LabFrame lastSourceLab;
    benchview::LabFrame lastStreamLab;
    for (;;) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06zu.bmp", frames + 1);
        const std::vector<std::uint8_t> source = benchview::sourceFrame(sources + name);
        if (source.empty()) {
            break;
        }
        animconv::FrameSummary summary;
        animconv::ProblemReport report;
        if (offset >= bytes.size() || animconv::readFrame(stream, offset, frames + 1, summary, report,
                                                          &indices) != animconv::Problem::none) {
            std::fprintf(stderr, "footage_quality: %s has no valid frame %zu\n", argv[2], frames + 1);
            return 1;
        }
        offset += summary.bytes;
        const std::vector<std::uint8_t> made = benchview::rgbOfIndices(indices.values);
        const std::vector<bool> bar = blackAround(source);
        for (std::size_t i = 0; i < kPixels; ++i) {
            const bool dot = made[i * 3] != 0 || made[i * 3 + 1] != 0 || made[i * 3 + 2] != 0;
            barDots += bar[i] && dot ? 1U : 0U;
        }
        benchview::LabFrame sourceLab = benchview::viewedFrame(source.data(), 3);
        benchview::LabFrame streamLab = benchview::viewedFrame(made.data(), 3);
        double frameDelta = 0;
        double frameFlicker = 0;
        for (std::size_t i = 0; i < kPixels; ++i) {
            frameDelta += benchview::deltaE(sourceLab[i], streamLab[i]);
            if (frames == 0) {
                continue;
            }
            benchview::Lab madeChange{};
            benchview::Lab wantedChange{};
            for (std::size_t c = 0; c < 3; ++c) {
                madeChange[c] = streamLab[i][c] - lastStreamLab[i][c];
                wantedChange[c] = sourceLab[i][c] - lastSourceLab[i][c];
            }
            frameFlicker += benchview::deltaE(madeChange, wantedChange);
            bool still = true;
            for (std::size_t c = 0; c < 3; ++c) {
                still = still && std::abs(source[i * 3 + c] - lastSource[i * 3 + c]) <= 2;
            }
            stillPixels += still ? 1U : 0U;
            stillChanged += still && indices.values[i] != previousIndices.values[i] ? 1U : 0U;
        }
        deltaE += frameDelta / kPixels;
        flicker += frameFlicker / kPixels;
        worstFrame = std::max(worstFrame, frameDelta / kPixels);
        offBracket += benchview::offBracket(source.data(), made.data());
        flatColours += benchview::flatColours(source.data(), made.data());
        if (perFrame != nullptr) {
            std::fprintf(perFrame, "%.6f\n", frameDelta / kPixels);
        }
        lastSource = source;
        lastSourceLab = std::move(sourceLab);
        lastStreamLab = std::move(streamLab);
        previousIndices = indices;
        ++frames;
    }
    if (frames < 2 || offset != bytes.size()) {
        std::fprintf(stderr, "footage_quality: %s does not have one frame per source frame in %s\n", argv[2],
                     argv[1]);
        return 1;
    }
    if (perFrame != nullptr) {
        std::fclose(perFrame);
    }
    std::printf(
        "dE %.4f bytes %zu flicker %.4f barDots %llu still %.5f frames %zu offBracket %.5f flatColours %.3f "
        "worstFrame %.4f\n",
        deltaE / static_cast<double>(frames), bytes.size(), flicker / static_cast<double>(frames - 1),
        static_cast<unsigned long long>(barDots),
        stillPixels > 0 ? static_cast<double>(stillChanged) / static_cast<double>(stillPixels) : 0.0, frames,
        static_cast<double>(offBracket) / static_cast<double>(frames * kPixels),
        flatColours / static_cast<double>(frames), worstFrame);
    return 0;
}
