#include "viewed_colour.h"

#include <algorithm>
#include <cmath>

#include "stream/stream_format.h"

namespace benchview {
namespace {

constexpr int kWidth = 190;
constexpr int kHeight = 170;
constexpr std::size_t kPixels = std::size_t{kWidth} * kHeight;

double linearOf(double component) {
    const double v = component / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// Separable Gaussian, sigma 1, taps -3..3, coordinates clamped at the edges.
LabFrame blurred(const LabFrame& in) {
    std::array<double, 7> taps{};
    double sum = 0;
    for (int k = -3; k <= 3; ++k) {
        taps[static_cast<std::size_t>(k + 3)] = std::exp(-0.5 * k * k);
        sum += taps[static_cast<std::size_t>(k + 3)];
    }
    for (double& tap : taps) {
        tap /= sum;
    }
    auto pass = [&](const LabFrame& from, bool horizontal) {
        LabFrame to(kPixels);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                Lab total{};
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

Lab labOf(const std::array<double, 3>& rgb) {
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

LabFrame viewedFrame(const std::uint8_t* rgb, std::size_t stride) {
    LabFrame linear(kPixels);
    for (std::size_t i = 0; i < kPixels; ++i) {
        for (std::size_t c = 0; c < 3; ++c) {
            linear[i][c] = linearOf(rgb[i * stride + c]);
        }
    }
    LabFrame lab = blurred(linear);
    for (Lab& p : lab) {
        p = labOf(p);
    }
    return lab;
}

double deltaE(const Lab& a, const Lab& b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

std::vector<std::uint8_t> rgbOfIndices(const std::uint8_t* indices) {
    std::vector<std::uint8_t> rgb(animconv::kFramePixels * 3);
    for (std::size_t i = 0; i < animconv::kFramePixels; ++i) {
        const animconv::Rgb colour = animconv::cubeColour(indices[i]);
        rgb[i * 3] = colour.red;
        rgb[i * 3 + 1] = colour.green;
        rgb[i * 3 + 2] = colour.blue;
    }
    return rgb;
}

}  // namespace benchview
