#include "make/dither/search_dither.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "make/dither/dither.h"

namespace animmake {
namespace {

using animconv::kFrameHeight, animconv::kFramePixels, animconv::kFrameWidth, animconv::kPixelBytes;

constexpr int kLevels = animconv::kCubeLevels;
constexpr int kStep = animconv::kCubeStep;
constexpr std::size_t kComponents = kFramePixels * 3;

// The viewer's blur: a Gaussian of sigma 1 px, 7 taps. The error of a change is read off the error
// correlated with the blur's autocorrelation (13 taps), kept in frames padded by its reach so that updates
// need no bounds.
constexpr int kTaps = 3;
constexpr int kReach = 2 * kTaps;
constexpr int kPaddedWidth = kFrameWidth + 2 * kReach;
constexpr int kPaddedHeight = kFrameHeight + 2 * kReach;
constexpr std::size_t kPadded = std::size_t{kPaddedWidth} * kPaddedHeight;

// A pixel whose source moved by at most this much in every component since its levels were chosen keeps
// them: a camera's noise on a still scene, not a change anyone sees.
constexpr int kHoldChange = 2;
// Passes over the pixels being searched, each only near the last pass's changes. Measured on real clips
// (bench/results/dithers.md): after 5 passes a talking head is 1% further from the source than after 8,
// after 3 (without exchanges) up to 18%; 16 gain nothing more.
constexpr int kPasses = 8;
// The cost of one run, in squared linear light after the blur, at mid grey (0.18); scaled by
// (luminance / 0.18)^(4/3) so that it weighs about as much in CIELAB at every lightness. Measured on real
// clips: 7e-4 leaves a rendered film 1.08x ordered's bytes, 1.4e-3 a talking head only 0.85x its dE.
constexpr float kRunCost = 1e-3F;
constexpr float kDarkest = 0.005F;  // luminance below which the run cost stops falling
constexpr std::size_t kRunCosts = 1024;

struct SearchTables {
    std::array<float, 256> linear{};
    std::array<float, kLevels> levelLinear{};
    std::array<float, 2 * kReach + 1> correlation{};  // the 1-D blur's autocorrelation
    float centre = 0;                                 // the 2-D autocorrelation at 0
    std::array<float, kRunCosts> runCost{};           // by luminance, 0 to 1

    SearchTables() {
        for (int v = 0; v < 256; ++v) {
            linear[static_cast<std::size_t>(v)] = static_cast<float>(linearOf(v));
        }
        for (int level = 0; level < kLevels; ++level) {
            levelLinear[static_cast<std::size_t>(level)] = static_cast<float>(linearOf(level * kStep));
        }
        std::array<double, 2 * kTaps + 1> taps{};
        double sum = 0;
        for (int k = -kTaps; k <= kTaps; ++k) {
            taps[static_cast<std::size_t>(k + kTaps)] = std::exp(-0.5 * k * k);
            sum += taps[static_cast<std::size_t>(k + kTaps)];
        }
        for (int k = -kReach; k <= kReach; ++k) {
            double total = 0;
            for (int j = -kTaps; j <= kTaps; ++j) {
                if (std::abs(j + k) <= kTaps) {
                    total += taps[static_cast<std::size_t>(j + kTaps)] *
                             taps[static_cast<std::size_t>(j + k + kTaps)];
                }
            }
            correlation[static_cast<std::size_t>(k + kReach)] = static_cast<float>(total / (sum * sum));
        }
        centre = correlation[kReach] * correlation[kReach];
        for (std::size_t i = 0; i < kRunCosts; ++i) {
            const double lightness =
                std::max(static_cast<double>(i) / (kRunCosts - 1), double{kDarkest}) / 0.18;
            runCost[i] = static_cast<float>(kRunCost * lightness * std::cbrt(lightness));
        }
    }
};

const SearchTables& tables() {
    static const SearchTables built;
    return built;
}

// What the stream holds at a pixel: the unchanged marker, or the levels as one number.
constexpr std::uint16_t kUnchanged = 0xFFFF;

std::size_t padded(std::size_t pixel) {
    return (pixel / kFrameWidth + kReach) * kPaddedWidth + pixel % kFrameWidth + kReach;
}

}  // namespace

struct SearchDitherState {
    bool started = false;
    std::array<std::uint8_t, kComponents> source{};
    std::array<std::uint8_t, kComponents> chosenFor{};  // the source each pixel's levels were chosen for
    std::array<std::uint8_t, kComponents> last{};       // the last frame's levels
    std::array<std::uint8_t, kComponents> levels{};
    std::array<bool, kComponents> fixed{};  // an exact level
    std::array<bool, kFramePixels> searched{};
    std::array<std::uint16_t, kFramePixels + 2> code{};  // the stream's values, one spare each side
    std::array<float, kFramePixels> runCost{};
    std::array<std::array<float, kPadded>, 3> error{};  // source minus levels, linear, then correlated
    std::array<float, kPadded> rows{};

    std::uint16_t codeOf(std::size_t p) const {
        const std::uint8_t* l = &levels[p * 3];
        if (started && std::equal(l, l + 3, &last[p * 3])) {
            return kUnchanged;
        }
        return static_cast<std::uint16_t>(l[0] * 36 + l[1] * 6 + l[2]);
    }

    // Which components are fixed, which pixels are held, and where the search starts. Black is a level:
    // black bars stay black, whatever their neighbours' errors.
    void start() {
        for (int y = 0; y < kFrameHeight; ++y) {
            for (int x = 0; x < kFrameWidth; ++x) {
                const std::size_t p = static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x);
                bool held = started;
                for (std::size_t c = 0; c < 3 && held; ++c) {
                    held = std::abs(source[p * 3 + c] - chosenFor[p * 3 + c]) <= kHoldChange;
                }
                for (std::size_t c = 0; c < 3; ++c) {
                    levels[p * 3 + c] = static_cast<std::uint8_t>(orderedLevel(source[p * 3 + c], x, y));
                }
                bool allFixed = true;
                for (std::size_t c = 0; c < 3; ++c) {
                    const std::size_t i = p * 3 + c;
                    fixed[i] = source[i] % kStep == 0;
                    allFixed = allFixed && fixed[i];
                    if (fixed[i]) {
                        levels[i] = static_cast<std::uint8_t>(source[i] / kStep);
                    } else if (held) {
                        levels[i] = last[i];
                    }
                }
                searched[p] = !held && !allFixed;
                if (!held) {
                    std::copy_n(&source[p * 3], 3, &chosenFor[p * 3]);
                }
            }
        }
    }

    // The error of the starting levels, correlated with the blur's autocorrelation (separable).
    void correlate() {
        const SearchTables& t = tables();
        for (std::size_t c = 0; c < 3; ++c) {
            std::array<float, kPadded>& e = error[c];
            e.fill(0.0F);
            for (std::size_t p = 0; p < kFramePixels; ++p) {
                e[padded(p)] = t.linear[source[p * 3 + c]] - t.levelLinear[levels[p * 3 + c]];
            }
            rows.fill(0.0F);
            for (int y = kReach; y < kReach + kFrameHeight; ++y) {
                const float* in = &e[static_cast<std::size_t>(y) * kPaddedWidth];
                float* out = &rows[static_cast<std::size_t>(y) * kPaddedWidth];
                for (int k = -kReach; k <= kReach; ++k) {
                    const float weight = t.correlation[static_cast<std::size_t>(k + kReach)];
                    for (int x = kReach; x < kReach + kFrameWidth; ++x) {
                        out[x] += weight * in[x + k];
                    }
                }
            }
            e.fill(0.0F);
            for (int y = kReach; y < kReach + kFrameHeight; ++y) {
                float* out = &e[static_cast<std::size_t>(y) * kPaddedWidth];
                for (int k = -kReach; k <= kReach; ++k) {
                    const float weight = t.correlation[static_cast<std::size_t>(k + kReach)];
                    const float* in = &rows[static_cast<std::size_t>(y + k) * kPaddedWidth];
                    for (int x = kReach; x < kReach + kFrameWidth; ++x) {
                        out[x] += weight * in[x];
                    }
                }
            }
        }
    }

    // Component c of pixel p moved up by `delta` in linear light: the correlated error around it falls.
    void update(std::size_t c, std::size_t p, float delta) {
        const SearchTables& t = tables();
        float* around = &error[c][padded(p) - kReach * kPaddedWidth - kReach];
        for (int dy = 0; dy <= 2 * kReach; ++dy, around += kPaddedWidth) {
            const float row = delta * t.correlation[static_cast<std::size_t>(dy)];
            for (int dx = 0; dx <= 2 * kReach; ++dx) {
                around[dx] -= row * t.correlation[static_cast<std::size_t>(dx)];
            }
        }
    }

    // Tiles a change was made in, this pass and the last: only pixels within the blur's reach of one can
    // find anything new.
    static constexpr int kTile = 8;  // at least kReach + 1, so that a tile's neighbours cover the reach
    static constexpr int kTileColumns = (kFrameWidth + kTile - 1) / kTile;
    static constexpr int kTileRows = (kFrameHeight + kTile - 1) / kTile;
    std::array<std::array<bool, kTileColumns * kTileRows>, 2> touched{};

    bool nearTouched(const std::array<bool, kTileColumns * kTileRows>& tiles, int column, int row) const {
        for (int r = std::max(row - 1, 0); r <= std::min(row + 1, kTileRows - 1); ++r) {
            for (int c = std::max(column - 1, 0); c <= std::min(column + 1, kTileColumns - 1); ++c) {
                if (tiles[static_cast<std::size_t>(r * kTileColumns + c)]) {
                    return true;
                }
            }
        }
        return false;
    }

    // The best one-level step of one component, or the last levels, for pixel p; true when it changed.
    bool improve(std::size_t p) {
        const SearchTables& t = tables();
        std::uint8_t* now = &levels[p * 3];
        const std::uint16_t before = code[p];  // pixel p's code is at p + 1
        const std::uint16_t after = code[p + 2];
        const std::uint16_t from = code[p + 1];
        const int runsNow = (from != before ? 1 : 0) + (from != after ? 1 : 0);
        const int index = now[0] * 36 + now[1] * 6 + now[2];
        const int lastIndex = started ? last[p * 3] * 36 + last[p * 3 + 1] * 6 + last[p * 3 + 2] : -1;
        const float perRun = runCost[p];
        const auto runsCost = [&](int to) {
            const std::uint16_t value = to == lastIndex ? kUnchanged : static_cast<std::uint16_t>(to);
            return perRun *
                   static_cast<float>((value != before ? 1 : 0) + (value != after ? 1 : 0) - runsNow);
        };
        static constexpr int kWeight[3] = {36, 6, 1};
        float bestCost = -1e-9F;
        int bestComponent = -1;
        int bestStep = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            if (fixed[p * 3 + c]) {
                continue;
            }
            const float e = error[c][padded(p)];
            const int level = now[c];
            for (const int step : {-1, 1}) {
                if (level + step < 0 || level + step >= kLevels) {
                    continue;
                }
                const float delta = t.levelLinear[static_cast<std::size_t>(level + step)] -
                                    t.levelLinear[static_cast<std::size_t>(level)];
                const float cost =
                    delta * (delta * t.centre - 2.0F * e) + runsCost(index + step * kWeight[c]);
                if (cost < bestCost) {
                    bestCost = cost;
                    bestComponent = static_cast<int>(c);
                    bestStep = step;
                }
            }
        }
        bool toLast = false;
        if (started && index != lastIndex) {
            float cost = runsCost(lastIndex);
            bool allowed = true;
            for (std::size_t c = 0; c < 3; ++c) {
                const std::uint8_t to = last[p * 3 + c];
                if (to != now[c]) {
                    allowed = allowed && !fixed[p * 3 + c];
                    const float delta = t.levelLinear[to] - t.levelLinear[now[c]];
                    cost += delta * (delta * t.centre - 2.0F * error[c][padded(p)]);
                }
            }
            toLast = allowed && cost < bestCost;
        }
        if (toLast) {
            for (std::size_t c = 0; c < 3; ++c) {
                if (last[p * 3 + c] != now[c]) {
                    update(c, p, t.levelLinear[last[p * 3 + c]] - t.levelLinear[now[c]]);
                    now[c] = last[p * 3 + c];
                }
            }
            code[p + 1] = kUnchanged;
            return true;
        }
        if (bestComponent < 0) {
            return false;
        }
        const auto c = static_cast<std::size_t>(bestComponent);
        const int to = now[c] + bestStep;
        update(c, p, t.levelLinear[static_cast<std::size_t>(to)] - t.levelLinear[now[c]]);
        now[c] = static_cast<std::uint8_t>(to);
        const int toIndex = index + bestStep * kWeight[c];
        code[p + 1] = toIndex == lastIndex ? kUnchanged : static_cast<std::uint16_t>(toIndex);
        return true;
    }

    int indexOf(const std::uint8_t* l) const { return l[0] * 36 + l[1] * 6 + l[2]; }

    std::uint16_t codeFor(std::size_t p, int index) const {
        return started && index == indexOf(&last[p * 3]) ? kUnchanged : static_cast<std::uint16_t>(index);
    }

    // The best exchange of one component's levels between pixel p and a neighbour right of or below it, which
    // keeps their mean and moves the error by a pixel; true when one lowered the cost.
    bool exchange(std::size_t p, int x, int y) {
        const SearchTables& t = tables();
        static constexpr int kWeight[3] = {36, 6, 1};
        float bestCost = -1e-9F;
        std::size_t bestQ = 0;
        std::size_t bestC = 3;
        static constexpr int kNeighbours[4][2] = {{1, 0}, {0, 1}, {-1, 1}, {1, 1}};
        for (const auto& [dx, dy] : kNeighbours) {
            if (x + dx < 0 || x + dx >= kFrameWidth || y + dy >= kFrameHeight) {
                continue;
            }
            const bool right = dy == 0;
            const std::size_t q = static_cast<std::size_t>(static_cast<int>(p) + dy * kFrameWidth + dx);
            if (!searched[q]) {
                continue;
            }
            const float overlap = t.correlation[static_cast<std::size_t>(kReach + dx)] *
                                  t.correlation[static_cast<std::size_t>(kReach + dy)];
            for (std::size_t c = 0; c < 3; ++c) {
                const std::uint8_t lp = levels[p * 3 + c];
                const std::uint8_t lq = levels[q * 3 + c];
                if (lp == lq || fixed[p * 3 + c] || fixed[q * 3 + c]) {
                    continue;
                }
                const float a = t.levelLinear[lq] - t.levelLinear[lp];
                float cost = 2.0F * a * a * (t.centre - overlap) -
                             2.0F * a * (error[c][padded(p)] - error[c][padded(q)]);
                if (cost >= bestCost) {
                    continue;
                }
                const int shift = (lq - lp) * kWeight[c];
                const std::uint16_t newP = codeFor(p, indexOf(&levels[p * 3]) + shift);
                const std::uint16_t newQ = codeFor(q, indexOf(&levels[q * 3]) - shift);
                // Runs before and after, over the boundaries the two pixels touch (codes sit at pixel + 1).
                const auto boundaries = [&](std::uint16_t atP, std::uint16_t atQ) {
                    const auto value = [&](std::size_t i) {
                        return i == p + 1 ? atP : i == q + 1 ? atQ : code[i];
                    };
                    int count = (value(p) != atP ? 1 : 0) + (atP != value(p + 2) ? 1 : 0) +
                                (atQ != value(q + 2) ? 1 : 0);
                    if (!right) {
                        count += value(q) != atQ ? 1 : 0;
                    }
                    return count;
                };
                cost += runCost[p] *
                        static_cast<float>(boundaries(newP, newQ) - boundaries(code[p + 1], code[q + 1]));
                if (cost < bestCost) {
                    bestCost = cost;
                    bestQ = q;
                    bestC = c;
                }
            }
        }
        if (bestC == 3) {
            return false;
        }
        const std::uint8_t lp = levels[p * 3 + bestC];
        const std::uint8_t lq = levels[bestQ * 3 + bestC];
        const float a = t.levelLinear[lq] - t.levelLinear[lp];
        update(bestC, p, a);
        update(bestC, bestQ, -a);
        levels[p * 3 + bestC] = lq;
        levels[bestQ * 3 + bestC] = lp;
        code[p + 1] = codeFor(p, indexOf(&levels[p * 3]));
        code[bestQ + 1] = codeFor(bestQ, indexOf(&levels[bestQ * 3]));
        return true;
    }

    void search() {
        const SearchTables& t = tables();
        code[0] = kUnchanged - 1;  // matches no pixel: the frame's first and last runs end there
        code[kFramePixels + 1] = kUnchanged - 1;
        for (std::size_t p = 0; p < kFramePixels; ++p) {
            code[p + 1] = codeOf(p);
            // Byte 0 is blue, as in a BMP.
            const float luminance = 0.0722F * t.linear[source[p * 3]] +
                                    0.7152F * t.linear[source[p * 3 + 1]] +
                                    0.2126F * t.linear[source[p * 3 + 2]];
            runCost[p] = t.runCost[static_cast<std::size_t>(luminance * (kRunCosts - 1) + 0.5F)];
        }
        touched[0].fill(true);
        for (int pass = 0; pass < kPasses; ++pass) {
            const auto& lastPass = touched[static_cast<std::size_t>(pass % 2)];
            auto& thisPass = touched[static_cast<std::size_t>((pass + 1) % 2)];
            thisPass.fill(false);
            bool changed = false;
            for (int row = 0; row < kTileRows; ++row) {
                for (int column = 0; column < kTileColumns; ++column) {
                    if (!nearTouched(lastPass, column, row) && !nearTouched(thisPass, column, row)) {
                        continue;
                    }
                    bool here = false;
                    for (int y = row * kTile; y < std::min((row + 1) * kTile, kFrameHeight); ++y) {
                        for (int x = column * kTile; x < std::min((column + 1) * kTile, kFrameWidth); ++x) {
                            const std::size_t p =
                                static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x);
                            if (searched[p] && improve(p)) {
                                here = true;
                            }
                            if (searched[p] && exchange(p, x, y)) {
                                here = true;
                            }
                        }
                    }
                    thisPass[static_cast<std::size_t>(row * kTileColumns + column)] = here;
                    changed = changed || here;
                }
            }
            if (!changed) {
                break;
            }
        }
    }
};

SearchDither::SearchDither() = default;
SearchDither::~SearchDither() = default;

void SearchDither::apply(animconv::FrameBuffer& frame) {
    SearchDitherState& s = state();
    for (std::size_t p = 0; p < kFramePixels; ++p) {
        std::copy_n(&frame.pixels[p * kPixelBytes], 3, &s.source[p * 3]);
    }
    s.start();
    s.correlate();
    s.search();
    for (std::size_t p = 0; p < kFramePixels; ++p) {
        for (std::size_t c = 0; c < 3; ++c) {
            frame.pixels[p * kPixelBytes + c] = static_cast<std::uint8_t>(s.levels[p * 3 + c] * kStep);
        }
        frame.pixels[p * kPixelBytes + 3] = 0;
    }
    s.last = s.levels;
    s.started = true;
}

}  // namespace animmake
