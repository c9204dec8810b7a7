#include "dither_scenes.h"

#include <algorithm>
#include <cmath>

namespace testsupport {
namespace {

std::size_t at(int x, int y) {
    return (static_cast<std::size_t>(y) * kSceneWidth + static_cast<std::size_t>(x)) * 4;
}

std::uint8_t clamped(double value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

}  // namespace

SceneFrame texturedScene(int variant) {
    SceneFrame frame(kScenePixels * 4, 0);
    for (int y = 0; y < kSceneHeight; ++y) {
        for (int x = 0; x < kSceneWidth; ++x) {
            for (int c = 0; c < 3; ++c) {
                const int texture = (x * 7 + y * 13 + c * 29 + (x * y) % 17) % 40;
                const int value = 20 + (x + c * 20) * 50 / kSceneWidth + texture + variant * 120;
                frame[at(x, y) + static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(value);
            }
        }
    }
    return frame;
}

SceneFrame driftedScene(double offset) {
    SceneFrame frame(kScenePixels * 4, 0);
    for (int y = 0; y < kSceneHeight; ++y) {
        for (int x = 0; x < kSceneWidth; ++x) {
            const double u = x + offset;
            for (int c = 0; c < 3; ++c) {
                const double value =
                    128.0 + 60.0 * std::sin(u / 6.0 + c) + 40.0 * std::cos(y / 7.0 + u / 17.0 + 2.0 * c);
                frame[at(x, y) + static_cast<std::size_t>(c)] = clamped(value);
            }
        }
    }
    return frame;
}

SceneFrame withSquare(SceneFrame base, int left) {
    for (int y = 60; y < 84; ++y) {
        for (int x = std::max(left, 0); x < std::min(left + 24, kSceneWidth); ++x) {
            for (int c = 0; c < 3; ++c) {
                const int texture = ((x - left) * 5 + y * 3 + c * 11) % 30;
                base[at(x, y) + static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(235 - texture);
            }
        }
    }
    return base;
}

SceneFrame drawnScene(int moved) {
    SceneFrame frame = texturedScene(0);
    for (int y = 0; y < kSceneHeight; ++y) {
        for (int x = 60; x < kSceneWidth; ++x) {
            const int column = x / 20;
            const int shifted = column == moved ? x - 6 : x;
            const bool box = shifted % 20 >= 4 && shifted % 20 < 16 && (y / 12) % 2 == 0;
            for (int c = 0; c < 3; ++c) {
                frame[at(x, y) + static_cast<std::size_t>(c)] =
                    static_cast<std::uint8_t>(box ? 200 - 40 * c : 30 + 5 * c);
            }
        }
    }
    return frame;
}

SceneFrame withBars(SceneFrame base, int top, int bottom, bool columns, std::uint8_t grey) {
    const int length = columns ? kSceneWidth : kSceneHeight;
    for (int y = 0; y < kSceneHeight; ++y) {
        for (int x = 0; x < kSceneWidth; ++x) {
            const int line = columns ? x : y;
            if (line < top || line >= length - bottom) {
                std::fill_n(&base[at(x, y)], 3, grey);
            }
        }
    }
    return base;
}

SceneFrame withFlat(SceneFrame base, int left, int top, int right, int bottom,
                    const std::uint8_t (&colour)[3]) {
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            std::copy_n(colour, 3, &base[at(x, y)]);
        }
    }
    return base;
}

std::size_t offBracket(const SceneFrame& source, const SceneFrame& made) {
    std::size_t off = 0;
    for (std::size_t p = 0; p < kScenePixels; ++p) {
        bool inside = true;
        for (std::size_t c = 0; c < 3; ++c) {
            const int value = source[p * 4 + c];
            const int level = made[p * 4 + c] / 51;
            inside = inside && (level == value / 51 || (value % 51 != 0 && level == value / 51 + 1));
        }
        off += inside ? 0U : 1U;
    }
    return off;
}

double blurredError(const SceneFrame& source, const SceneFrame& made) {
    const auto linear = [](int component) {
        const double v = component / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    std::vector<double> difference(kScenePixels * 3);
    for (std::size_t p = 0; p < kScenePixels; ++p) {
        for (std::size_t c = 0; c < 3; ++c) {
            difference[p * 3 + c] = linear(source[p * 4 + c]) - linear(made[p * 4 + c]);
        }
    }
    for (const bool horizontal : {true, false}) {
        std::vector<double> blurred(difference.size());
        for (int y = 0; y < kSceneHeight; ++y) {
            for (int x = 0; x < kSceneWidth; ++x) {
                for (int k = -3; k <= 3; ++k) {
                    const int sx = horizontal ? std::clamp(x + k, 0, kSceneWidth - 1) : x;
                    const int sy = horizontal ? y : std::clamp(y + k, 0, kSceneHeight - 1);
                    for (std::size_t c = 0; c < 3; ++c) {
                        blurred[at(x, y) / 4 * 3 + c] +=
                            std::exp(-0.5 * k * k) / 2.5066 * difference[at(sx, sy) / 4 * 3 + c];
                    }
                }
            }
        }
        difference = blurred;
    }
    double total = 0;
    for (const double d : difference) {
        total += d * d;
    }
    return total;
}

std::uint64_t levelDigest(const std::vector<SceneFrame>& frames) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const SceneFrame& frame : frames) {
        for (std::size_t p = 0; p < kScenePixels; ++p) {
            for (std::size_t c = 0; c < 3; ++c) {
                hash = (hash ^ static_cast<std::uint8_t>(frame[p * 4 + c] / 51)) * 0x100000001b3ULL;
            }
        }
    }
    return hash;
}

}  // namespace testsupport
