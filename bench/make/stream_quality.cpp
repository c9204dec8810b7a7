// How close a stream comes to its 190x170 source frames as the eye sees them at a distance: both are
// decoded to linear light, blurred with a Gaussian of sigma 1 px (7 taps, edges clamped), converted to
// CIELAB (D65), and compared by mean delta E 1976 over all pixels and frames. Also prints the share of
// unchanged (0xFE) pixels and the stream's size.
//
//   stream_quality STREAM SOURCE.png...
#include <vips/vips8>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "convert/stream_format.h"
#include "convert/stream_reader.h"

namespace {

constexpr int kWidth = 190;
constexpr int kHeight = 170;
constexpr std::size_t kPixels = std::size_t{kWidth} * kHeight;

using Plane = std::vector<std::array<double, 3>>;

double linearOf(double component) {
    const double v = component / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// Separable Gaussian, sigma 1, taps -3..3, coordinates clamped at the edges.
Plane blurred(const Plane& in) {
    std::array<double, 7> taps{};
    double sum = 0;
    for (int k = -3; k <= 3; ++k) {
        taps[static_cast<std::size_t>(k + 3)] = std::exp(-0.5 * k * k);
        sum += taps[static_cast<std::size_t>(k + 3)];
    }
    for (double& tap : taps) {
        tap /= sum;
    }
    auto pass = [&](const Plane& from, bool horizontal) {
        Plane to(kPixels);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                std::array<double, 3> total{};
                for (int k = -3; k <= 3; ++k) {
                    const int sx = horizontal ? std::clamp(x + k, 0, kWidth - 1) : x;
                    const int sy = horizontal ? y : std::clamp(y + k, 0, kHeight - 1);
                    const auto& p = from[static_cast<std::size_t>(sy * kWidth + sx)];
                    for (std::size_t c = 0; c < 3; ++c) {
                        total[c] += taps[static_cast<std::size_t>(k + 3)] * p[c];
                    }
                }
                to[static_cast<std::size_t>(y * kWidth + x)] = total;
            }
        }
        return to;
    };
    return pass(pass(in, true), false);
}

std::array<double, 3> labOf(const std::array<double, 3>& rgb) {
    const double x = 0.4124564 * rgb[0] + 0.3575761 * rgb[1] + 0.1804375 * rgb[2];
    const double y = 0.2126729 * rgb[0] + 0.7151522 * rgb[1] + 0.0721750 * rgb[2];
    const double z = 0.0193339 * rgb[0] + 0.1191920 * rgb[1] + 0.9503041 * rgb[2];
    auto f = [](double t) {
        return t > 216.0 / 24389.0 ? std::cbrt(t) : (24389.0 / 27.0 * t + 16.0) / 116.0;
    };
    const double fx = f(x / 0.95047);
    const double fy = f(y / 1.0);
    const double fz = f(z / 1.08883);
    return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

}  // namespace

int main(int argc, char** argv) {
    if (VIPS_INIT(argv[0]) != 0 || argc < 3) {
        std::fprintf(stderr, "usage: stream_quality STREAM SOURCE.png...\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                          std::istreambuf_iterator<char>());
    const animconv::StreamView stream{bytes.data(), bytes.size()};
    static animconv::FrameIndices indices;
    std::size_t offset = 0;
    std::size_t frames = 0;
    std::size_t unchanged = 0;
    double totalDelta = 0;
    for (int source = 2; source < argc; ++source) {
        animconv::FrameSummary summary;
        animconv::ProblemReport report;
        if (offset >= bytes.size() || animconv::readFrame(stream, offset, frames + 1, summary, report,
                                                          &indices) != animconv::Problem::none) {
            std::fprintf(stderr, "stream_quality: the stream has no valid frame %zu\n", frames + 1);
            return 1;
        }
        offset += summary.bytes;
        ++frames;
        unchanged += summary.unchangedPixels;

        vips::VImage picture =
            vips::VImage::new_from_file(argv[source]).colourspace(VIPS_INTERPRETATION_sRGB);
        if (picture.width() != kWidth || picture.height() != kHeight) {
            std::fprintf(stderr, "stream_quality: %s is not 190x170\n", argv[source]);
            return 1;
        }
        picture = picture.extract_band(0, vips::VImage::option()->set("n", 3)).cast(VIPS_FORMAT_UCHAR);
        std::size_t size = 0;
        auto* rgb = static_cast<std::uint8_t*>(picture.write_to_memory(&size));
        Plane original(kPixels);
        Plane made(kPixels);
        for (std::size_t i = 0; i < kPixels; ++i) {
            const animconv::Rgb colour = animconv::cubeColour(indices.values[i]);
            made[i] = {linearOf(colour.red), linearOf(colour.green), linearOf(colour.blue)};
            original[i] = {linearOf(rgb[i * 3]), linearOf(rgb[i * 3 + 1]), linearOf(rgb[i * 3 + 2])};
        }
        g_free(rgb);
        const Plane a = blurred(original);
        const Plane b = blurred(made);
        for (std::size_t i = 0; i < kPixels; ++i) {
            const auto la = labOf(a[i]);
            const auto lb = labOf(b[i]);
            totalDelta += std::sqrt((la[0] - lb[0]) * (la[0] - lb[0]) + (la[1] - lb[1]) * (la[1] - lb[1]) +
                                    (la[2] - lb[2]) * (la[2] - lb[2]));
        }
    }
    if (offset != bytes.size()) {
        std::fprintf(stderr, "stream_quality: the stream has more frames than sources\n");
        return 1;
    }
    std::printf("meanDeltaE %.4f unchangedShare %.4f bytes %zu frames %zu\n",
                totalDelta / (static_cast<double>(frames) * kPixels),
                static_cast<double>(unchanged) / (static_cast<double>(frames) * kPixels), bytes.size(),
                frames);
    return 0;
}
