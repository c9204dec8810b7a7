#include "make/dither.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace animmake {
namespace {

using animconv::kFrameHeight;
using animconv::kFrameWidth;
using animconv::kPixelBytes;

constexpr int kLevels = animconv::kCubeLevels;
constexpr int kStep = animconv::kCubeStep;

double linearOf(int component) {
    const double v = component / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// The threshold matrix: Bayer 4x4, its 16 ranks spread so that every 2x2 block is balanced. Measured
// against 8x8 (bench/make/animmake_quality.sh): the viewer's blur leaves the 8x8 matrix's period-8
// sub-patterns visible, which costs more than the finer steps of its mix gain.
constexpr int kMatrixBits = 2;
constexpr int kMatrixSize = 1 << kMatrixBits;
constexpr int kMatrixMask = kMatrixSize - 1;
constexpr int kThresholds = kMatrixSize * kMatrixSize;

constexpr std::array<std::array<std::uint8_t, kMatrixSize>, kMatrixSize> bayerMatrix() {
    std::array<std::array<std::uint8_t, kMatrixSize>, kMatrixSize> matrix{};
    for (int y = 0; y < kMatrixSize; ++y) {
        for (int x = 0; x < kMatrixSize; ++x) {
            int value = 0;
            for (int bit = 0; bit < kMatrixBits; ++bit) {
                const int xb = (x >> bit) & 1;
                const int yb = (y >> bit) & 1;
                const int shift = 2 * (kMatrixBits - 1 - bit);
                value |= ((xb ^ yb) << (shift + 1)) | (yb << shift);
            }
            matrix[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>(value);
        }
    }
    return matrix;
}
constexpr auto kBayer = bayerMatrix();

// Where each Bayer rank switches to the upper level, in sixteenths of the step (evenly spaced would be
// rank + 0.5). Ranks 2k and 2k+1 are diagonal partners: the closer together they switch, the shorter the
// range of fractions that shows a lone dot repeating every 4 pixels along the axes, which the eye's blur
// keeps (29% of it), rather than a diagonal pair (8%); pulling them all the way together (8 levels) costs
// more in the mix than it saves. Found offline by coordinate descent on bench/make/animmake_quality.sh's
// measure over two generated scenes (reduced and full-grain each) and checked on a third: 1-4% closer to
// the source than evenly spaced thresholds on all six; on the script's frames the stream is no larger and
// the unchanged share no lower.
constexpr std::array<double, kThresholds> kRankThreshold = {0.770,  1.283,  2.703,  3.355, 4.828,  5.088,
                                                            6.794,  7.456,  9.000,  9.400, 10.333, 11.182,
                                                            13.163, 13.604, 14.756, 14.943};

// Per component value: the cube level at or below it, and how far it lies towards the next level up,
// measured in linear light, in 1/65536ths. Built once; read by every worker thread.
struct DitherTables {
    std::array<std::uint8_t, 256> lowerLevel{};
    std::array<std::uint16_t, 256> fraction{};
    std::array<std::uint16_t, kThresholds> threshold{};  // kRankThreshold on the same scale
    std::array<float, 256> linear{};
    std::array<float, kLevels> levelLinear{};

    DitherTables() {
        for (int v = 0; v < 256; ++v) {
            const int lower = v / kStep;
            const auto index = static_cast<std::size_t>(v);
            lowerLevel[index] = static_cast<std::uint8_t>(lower);
            linear[index] = static_cast<float>(linearOf(v));
            if (lower == kLevels - 1) {
                fraction[index] = 0;
                continue;
            }
            const double low = linearOf(lower * kStep);
            const double high = linearOf((lower + 1) * kStep);
            fraction[index] =
                static_cast<std::uint16_t>(std::lround((linearOf(v) - low) / (high - low) * 65535.0));
        }
        for (std::size_t t = 0; t < threshold.size(); ++t) {
            threshold[t] = static_cast<std::uint16_t>(std::lround(kRankThreshold[t] / kThresholds * 65536.0));
        }
        for (int level = 0; level < kLevels; ++level) {
            levelLinear[static_cast<std::size_t>(level)] = static_cast<float>(linearOf(level * kStep));
        }
    }
};

const DitherTables& tables() {
    static const DitherTables built;
    return built;
}

std::uint8_t levelValue(int level) {
    return static_cast<std::uint8_t>(level * kStep);
}

void orderedFrame(animconv::FrameBuffer& frame) {
    const DitherTables& t = tables();
    for (int y = 0; y < kFrameHeight; ++y) {
        const auto& row = kBayer[static_cast<std::size_t>(y & kMatrixMask)];
        std::uint8_t* pixel = frame.pixels + static_cast<std::size_t>(y) * kFrameWidth * kPixelBytes;
        for (int x = 0; x < kFrameWidth; ++x, pixel += kPixelBytes) {
            const std::uint16_t threshold = t.threshold[row[static_cast<std::size_t>(x & kMatrixMask)]];
            for (std::size_t c = 0; c < 3; ++c) {
                const std::uint8_t v = pixel[c];
                const int level = t.lowerLevel[v] + (t.fraction[v] > threshold ? 1 : 0);
                pixel[c] = levelValue(level);
            }
            pixel[3] = 0;
        }
    }
}

// Serpentine Floyd-Steinberg in linear light; the error carried is what the chosen level missed.
void diffusionFrame(animconv::FrameBuffer& frame) {
    const DitherTables& t = tables();
    constexpr std::size_t kRow = (kFrameWidth + 2) * 3;  // one spare pixel each side
    std::array<float, kRow> current{};
    std::array<float, kRow> next{};
    for (int y = 0; y < kFrameHeight; ++y) {
        const bool leftToRight = (y % 2) == 0;
        const int direction = leftToRight ? 1 : -1;
        next.fill(0.0F);
        for (int step = 0; step < kFrameWidth; ++step) {
            const int x = leftToRight ? step : kFrameWidth - 1 - step;
            std::uint8_t* pixel =
                frame.pixels +
                (static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x)) * kPixelBytes;
            for (std::size_t c = 0; c < 3; ++c) {
                const auto at = [&](int column) { return static_cast<std::size_t>(column + 1) * 3 + c; };
                float wanted = t.linear[pixel[c]] + current[at(x)];
                wanted = std::fmin(1.0F, std::fmax(0.0F, wanted));
                int best = 0;
                for (int level = 1; level < kLevels; ++level) {
                    if (std::fabs(t.levelLinear[static_cast<std::size_t>(level)] - wanted) <
                        std::fabs(t.levelLinear[static_cast<std::size_t>(best)] - wanted)) {
                        best = level;
                    }
                }
                const float error = wanted - t.levelLinear[static_cast<std::size_t>(best)];
                current[at(x + direction)] += error * (7.0F / 16.0F);
                next[at(x - direction)] += error * (3.0F / 16.0F);
                next[at(x)] += error * (5.0F / 16.0F);
                next[at(x + direction)] += error * (1.0F / 16.0F);
                pixel[c] = levelValue(best);
            }
            pixel[3] = 0;
        }
        current = next;
    }
}

}  // namespace

int orderedLevel(int component, int x, int y) {
    const DitherTables& t = tables();
    const auto v = static_cast<std::size_t>(component);
    const std::uint16_t threshold = t.threshold[kBayer[static_cast<std::size_t>(y & kMatrixMask)]
                                                      [static_cast<std::size_t>(x & kMatrixMask)]];
    return t.lowerLevel[v] + (t.fraction[v] > threshold ? 1 : 0);
}

void ditherFrame(animconv::FrameBuffer& frame, Dither dither) {
    switch (dither) {
        case Dither::ordered:
            orderedFrame(frame);
            return;
        case Dither::diffusion:
            diffusionFrame(frame);
            return;
        case Dither::none:
            return;
    }
}

}  // namespace animmake
