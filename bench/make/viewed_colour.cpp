#include "viewed_colour.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>

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

std::size_t offBracket(const std::uint8_t* source, const std::uint8_t* made) {
    std::size_t off = 0;
    for (std::size_t i = 0; i < kPixels; ++i) {
        bool inside = true;
        for (std::size_t c = 0; c < 3; ++c) {
            const int value = source[i * 3 + c];
            const int level = made[i * 3 + c] / 51;
            inside = inside && (level == value / 51 || (value % 51 != 0 && level == value / 51 + 1));
        }
        off += inside ? 0U : 1U;
    }
    return off;
}

double flatColours(const std::uint8_t* source, const std::uint8_t* made) {
    const auto colourAt = [](const std::uint8_t* rgb, std::size_t i) {
        return static_cast<std::uint32_t>(rgb[i * 3]) << 16U |
               static_cast<std::uint32_t>(rgb[i * 3 + 1]) << 8U | rgb[i * 3 + 2];
    };
    // Per source colour of a flat area, the set of stream colours (216 bits) used for it.
    std::map<std::uint32_t, std::bitset<216>> used;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const std::size_t i = static_cast<std::size_t>(y * kWidth + x);
            const std::uint32_t colour = colourAt(source, i);
            bool flat = true;
            for (int dy = -2; dy <= 2 && flat; ++dy) {
                for (int dx = -2; dx <= 2 && flat; ++dx) {
                    const int sx = std::clamp(x + dx, 0, kWidth - 1);
                    const int sy = std::clamp(y + dy, 0, kHeight - 1);
                    flat = colourAt(source, static_cast<std::size_t>(sy * kWidth + sx)) == colour;
                }
            }
            if (flat) {
                used[colour].set(static_cast<std::size_t>(made[i * 3] / 51 * 36 + made[i * 3 + 1] / 51 * 6 +
                                                          made[i * 3 + 2] / 51));
            }
        }
    }
    if (used.empty()) {
        return 0;
    }
    double colours = 0;
    for (const auto& [colour, stream] : used) {
        colours += static_cast<double>(stream.count());
    }
    return colours / static_cast<double>(used.size());
}

constexpr std::size_t kBmpWidth = 190;
constexpr std::size_t kBmpHeight = 170;
constexpr std::size_t kBmpHeader = 54;
constexpr std::size_t kBmpRow = (kBmpWidth * 3 + 3) / 4 * 4;

std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> sourceFrame(const std::string& path) {
    const std::vector<std::uint8_t> bmp = fileBytes(path);
    if (bmp.size() < kBmpHeader + kBmpRow * kBmpHeight || bmp[0] != 'B' || bmp[1] != 'M' || bmp[28] != 24) {
        return {};
    }
    std::vector<std::uint8_t> rgb(std::size_t{kBmpWidth} * kBmpHeight * 3);
    for (std::size_t y = 0; y < kBmpHeight; ++y) {
        const std::uint8_t* row = &bmp[kBmpHeader + (kBmpHeight - 1 - y) * kBmpRow];
        for (std::size_t x = 0; x < kBmpWidth; ++x) {
            for (std::size_t c = 0; c < 3; ++c) {
                rgb[(y * kBmpWidth + x) * 3 + c] = row[x * 3 + 2 - c];
            }
        }
    }
    return rgb;
}

}  // namespace benchview
