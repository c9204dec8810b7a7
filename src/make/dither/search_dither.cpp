#include "make/dither/search_dither.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "make/dither/dither.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace animmake::dither {
namespace {

using animconv::kFrameHeight, animconv::kFramePixels, animconv::kFrameWidth, animconv::kPixelBytes;

constexpr int kLevels = animconv::kCubeLevels;
constexpr int kStep = animconv::kCubeStep;
constexpr std::size_t kComponents = kFramePixels * 3;

// The viewer's blur: a Gaussian of sigma 1 px, 7 taps. The error of a change is read off the error
// correlated with the blur's autocorrelation, kept in frames padded past its reach so that updates need no
// bounds. The autocorrelation reaches 6 pixels; cut at 3 (what lies beyond is under 2% of its centre), a
// change updates 7x7 errors instead of 13x13, two lanes of four a row. Measured on real clips, cut there
// the search is as close to the source as uncut, in fewer bytes.
constexpr int kTaps = 3;
constexpr int kReach = 3;
constexpr int kSpan = 2 * kReach + 1;
constexpr int kUpdateWidth = 8;
// The pixels within 2 of a change are looked at again; further away a change moves the error by under a
// tenth of what it moves there. Measured on real clips: looking at all within the reach finds no closer
// levels, at 1.2x the time.
constexpr int kStaleReach = 2;
constexpr int kStaleWidth = 2 * kStaleReach + 1;
// Borders: the reach of an update, one more for the exchange with the neighbour below left; on the right,
// the update's last lane.
constexpr int kBorder = kReach + 1;
constexpr int kRightBorder = kUpdateWidth - kReach;
constexpr int kPaddedWidth = kBorder + kFrameWidth + kRightBorder;
constexpr int kPaddedHeight = kFrameHeight + 2 * kBorder;
constexpr std::size_t kPadded = std::size_t{kPaddedWidth} * kPaddedHeight;

// Passes over the pixels being searched, each only near the last pass's changes. Measured on real clips
// (bench/results/dithers.md): after 5 passes a talking head is 1% further from the source than after 8;
// 16 gain nothing more. A frame that starts from the last one's levels starts near where it ends: 4
// passes leave generated pans, fades and noise within 1% of 8, at 0.8x the time.
constexpr int kPasses = 8;
constexpr int kWarmPasses = 4;
// A pixel whose source moved by more than this in a component since the last frame starts from the
// ordered levels: the last ones were chosen for something else (a cut, a moving thing), and starting from
// them left patches of the last picture's pattern that a few passes did not clear (a screen recording's
// frame 3.5x further from the source than ordered's).
constexpr int kFreshChange = 8;
// A pixel whose source lies within this in every component of what it was when it last moved further
// stands still, and leaving its last levels costs kHoldWeight runs: without it the search rearranged still
// pixels near moving ones (2x ordered's still changes on a rendered film). A cost rather than a freeze, and
// measured from where the pixel last moved rather than from the last frame, so that a slow pan's change
// piles up to a move within a few frames instead of being held for ever.
constexpr int kStill = 2;
constexpr float kHoldWeight = 3.0F;
// The cost of one run, in squared linear light after the blur, at mid grey (0.18); scaled by
// (luminance / 0.18)^(4/3) so that it weighs about as much in CIELAB at every lightness. Measured on real
// clips with the hold cost below: 4e-4 takes a rendered film to 1.05x ordered's bytes; 7e-4 leaves a
// talking head 0.82x ordered's dE, short of the fifth closer wanted where the camera stands still.
constexpr float kRunCost = 5.5e-4F;
constexpr float kDarkest = 0.005F;  // luminance below which the run cost stops falling
constexpr std::size_t kRunCosts = 1024;

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
constexpr std::uint8_t kInexact = 0xFF;

using Lanes = float __attribute__((vector_size(16)));
constexpr int kLanes = sizeof(Lanes) / sizeof(float);

using Ints = int __attribute__((vector_size(16)));

// What the borders must hold: updates and marks near the edges, the correlation's last lanes of a row and
// what they read, and the exchanges' neighbours (loaded four at a time from below left and from two left).
static_assert(kStaleReach <= kBorder && kStaleReach <= kRightBorder);
static_assert(kRightBorder >= (kFrameWidth + kLanes - 1) / kLanes * kLanes - kFrameWidth + kReach);
static_assert(kBorder >= 2 && kRightBorder >= 2);

// The first lane of `value` that holds its least value, if that is below `bound`; -1 when none is (NaN
// lanes never are).
int leastLane(Lanes value, float bound) {
    int best = -1;
    for (int lane = 0; lane < kLanes; ++lane) {
        if (value[lane] < bound) {
            bound = value[lane];
            best = lane;
        }
    }
    return best;
}

// Lanes 0 to 2 of the four floats at `first`, and lane 3 of those at `last`.
Lanes firstThreeAndLast(const float* first, const float* last) {
#if defined(__SSE__)
    const __m128 head = _mm_loadu_ps(first);
    const __m128 tail = _mm_shuffle_ps(head, _mm_loadu_ps(last), _MM_SHUFFLE(3, 3, 2, 2));  // 2 2 7 7
    return _mm_shuffle_ps(head, tail, _MM_SHUFFLE(2, 0, 1, 0));
#else
    return Lanes{first[0], first[1], first[2], last[3]};
#endif
}

// Whether any lane of `value` is below `bound` (false for NaN lanes).
bool anyBelow(Lanes value, Lanes bound) {
#if defined(__SSE__)
    return _mm_movemask_ps(_mm_cmplt_ps(value, bound)) != 0;
#else
    return value[0] < bound[0] || value[1] < bound[1] || value[2] < bound[2] || value[3] < bound[3];
#endif
}

struct SearchTables {
    std::array<float, 256> linear{};
    std::array<float, kLevels> levelLinear{};
    std::array<float, kSpan> correlation{};                       // the 1-D blur's autocorrelation
    std::array<Lanes, kUpdateWidth / kLanes> correlationLanes{};  // the same, zero past the span
    float centre = 0;                                             // the 2-D autocorrelation at 0
    Lanes overlap{};                             // the 2-D autocorrelation at each exchange's neighbour
    std::array<float, kRunCosts> runCost{};      // by luminance, 0 to 1
    std::array<std::uint8_t, 256> lowLevel{};    // the lower of the two levels bracketing a value
    std::array<std::uint8_t, 256> exactLevel{};  // the level a component value is exactly, or kInexact

    SearchTables() {
        for (int v = 0; v < 256; ++v) {
            linear[static_cast<std::size_t>(v)] = static_cast<float>(linearOf(v));
        }
        for (int level = 0; level < kLevels; ++level) {
            levelLinear[static_cast<std::size_t>(level)] = static_cast<float>(linearOf(level * kStep));
        }
        for (int v = 0; v < 256; ++v) {
            lowLevel[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(v / kStep);
            exactLevel[static_cast<std::size_t>(v)] =
                v % kStep == 0 ? static_cast<std::uint8_t>(v / kStep) : kInexact;
        }
        std::array<double, 2 * kTaps + 1> taps{};
        double sum = 0;
        for (int k = -kTaps; k <= kTaps; ++k) {
            taps[static_cast<std::size_t>(k + kTaps)] = std::exp(-0.5 * k * k);
            sum += taps[static_cast<std::size_t>(k + kTaps)];
        }
        std::array<float, kUpdateWidth> wide{};
        for (int k = -kReach; k <= kReach; ++k) {
            double total = 0;
            for (int j = -kTaps; j <= kTaps; ++j) {
                if (std::abs(j + k) <= kTaps) {
                    total += taps[static_cast<std::size_t>(j + kTaps)] *
                             taps[static_cast<std::size_t>(j + k + kTaps)];
                }
            }
            correlation[static_cast<std::size_t>(k + kReach)] = static_cast<float>(total / (sum * sum));
            wide[static_cast<std::size_t>(k + kReach)] = correlation[static_cast<std::size_t>(k + kReach)];
        }
        std::memcpy(correlationLanes.data(), wide.data(), sizeof wide);
        centre = correlation[kReach] * correlation[kReach];
        // The exchanges' neighbours: below left, below, below right, right.
        overlap = Lanes{
            correlation[kReach - 1] * correlation[kReach + 1], correlation[kReach] * correlation[kReach + 1],
            correlation[kReach + 1] * correlation[kReach + 1], correlation[kReach + 1] * correlation[kReach]};
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
constexpr int kWeight[3] = {36, 6, 1};

constexpr std::size_t padded(int x, int y) {
    return static_cast<std::size_t>(y + kBorder) * kPaddedWidth + static_cast<std::size_t>(x + kBorder);
}

}  // namespace

struct SearchDitherState {
    const SearchTables& t = tables();
    bool started = false;
    std::array<std::uint8_t, kComponents> source{};
    std::array<std::uint32_t, kFramePixels> colour{};  // the source's pixels as one number, to compare
    std::array<std::uint8_t, kComponents> low{};       // the lower of the two levels bracketing the source
    std::array<std::uint8_t, kComponents> last{};      // the last frame's levels
    std::array<std::uint8_t, kComponents> levels{};
    std::array<std::int16_t, kFramePixels> index{};      // the levels as one number
    std::array<std::int16_t, kFramePixels> lastIndex{};  // the last frame's, -1 before the first
    std::array<std::uint16_t, kFramePixels + 2> code{};  // the stream's values, one spare each side
    std::array<float, kFramePixels> runCost{};
    std::array<std::uint8_t, kFramePixels> flat{};        // the source's 3x3 neighbourhood is one colour
    std::array<std::uint8_t, kFramePixels> searchable{};  // some component of the pixel may move
    std::array<std::uint8_t, kFramePixels> fresh{};       // moved too far to start from the last levels
    std::array<std::uint8_t, kComponents> chosenFor{};  // the source when the pixel last moved beyond kStill
    std::array<std::uint8_t, kFramePixels> still{};     // the source lies within kStill of chosenFor
    std::array<float, kFramePixels> holdCost{};
    // Padded planes, one a component: the error (source minus levels, linear, then correlated), kept
    // true everywhere from frame to frame; the levels in linear light where the search may move them, NaN
    // elsewhere (borders, exact components, flat areas), so that candidates involving those drop out of the
    // comparisons without a branch; and the lower bracketing level where they may move, so that an exchange
    // stays inside both brackets.
    std::array<std::array<float, kPadded>, 3> error{};
    std::array<std::array<float, kPadded>, 3> movable{};
    std::array<std::array<float, kPadded>, 3> bracket{};
    std::array<float, kPadded> rows{};
    std::array<float, kPaddedWidth> raw{};  // a row's error before it is correlated; zero past the edges
    // Pixels near a change since they were last looked at: only they can find anything new.
    std::array<std::uint8_t, kPadded> stale{};
    // A range of columns in a row.
    struct Span {
        int first = kFrameWidth;
        int last = -1;
        bool empty() const { return last < first; }
        void cover(const Span& other) {
            first = std::min(first, other.first);
            last = std::max(last, other.last);
        }
        int firstLane() const { return first / kLanes * kLanes; }  // where the lanes holding it start
        int lastLane() const { return last / kLanes * kLanes + kLanes - 1; }
    };
    std::array<Span, kFrameHeight> changed{};  // per row, where the source or the starting levels changed
    std::array<Span, kFrameHeight> spans{};    // per row, where the error changed: the changes' reach
    // The pixels being searched, in scan order, and their padded positions.
    struct Position {
        std::uint32_t pixel;
        std::uint32_t padded;
    };
    std::array<Position, kFramePixels> searchedAt{};
    std::size_t searchedCount = 0;

    SearchDitherState() {
        for (std::size_t c = 0; c < 3; ++c) {
            movable[c].fill(kNone);  // the borders stay so
            bracket[c].fill(kNone);
        }
        lastIndex.fill(-1);
    }

    static std::int16_t indexOf(const std::uint8_t* l) {
        return static_cast<std::int16_t>(l[0] * kWeight[0] + l[1] * kWeight[1] + l[2] * kWeight[2]);
    }

    std::uint16_t codeFor(std::size_t p, int levelsIndex) const {
        return levelsIndex == lastIndex[p] ? kUnchanged : static_cast<std::uint16_t>(levelsIndex);
    }

    // The frame's source (blue, green, red, unused per pixel), and per row where it changed.
    void load(const std::uint8_t* pixels) {
        changed.fill(Span{});
        fresh.fill(0);
        still.fill(1);
        for (int y = 0; y < kFrameHeight; ++y) {
            Span& row = changed[static_cast<std::size_t>(y)];
            for (int x = 0; x < kFrameWidth; ++x) {
                const std::size_t p = static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x);
                const std::uint8_t* pixel = &pixels[p * kPixelBytes];
                const std::uint32_t now = static_cast<std::uint32_t>(pixel[0]) |
                                          static_cast<std::uint32_t>(pixel[1]) << 8U |
                                          static_cast<std::uint32_t>(pixel[2]) << 16U;
                if (!started || now != colour[p]) {
                    row.cover(Span{x, x});
                    colour[p] = now;
                    int moved = 0;
                    int movedSinceChosen = 0;
                    for (std::size_t c = 0; c < 3; ++c) {
                        moved = std::max(moved, std::abs(pixel[c] - source[p * 3 + c]));
                        movedSinceChosen =
                            std::max(movedSinceChosen, std::abs(pixel[c] - chosenFor[p * 3 + c]));
                    }
                    fresh[p] = static_cast<std::uint8_t>(!started || moved > kFreshChange);
                    still[p] = static_cast<std::uint8_t>(started && movedSinceChosen <= kStill);
                    if (still[p] == 0) {
                        std::copy_n(pixel, 3, &chosenFor[p * 3]);
                    }
                    std::copy_n(pixel, 3, &source[p * 3]);
                }
            }
        }
    }

    // Which pixels lie inside an area of one colour (a background, a bar, a screen's flat colour): those
    // take the ordered dither's levels, which put every pixel of a grey on grey and use as few colours as a
    // flat colour can have.
    void findFlat() {
        std::array<std::uint8_t, kFramePixels> acrossToo{};  // the same as the pixels left and right
        for (std::size_t p = 0; p < kFramePixels; ++p) {
            const std::size_t x = p % kFrameWidth;
            acrossToo[p] = static_cast<std::uint8_t>((x == 0 || colour[p - 1] == colour[p]) &&
                                                     (x + 1 == kFrameWidth || colour[p + 1] == colour[p]));
        }
        for (std::size_t p = 0; p < kFramePixels; ++p) {
            const bool above =
                p < kFrameWidth || (acrossToo[p - kFrameWidth] && colour[p - kFrameWidth] == colour[p]);
            const bool below = p + kFrameWidth >= kFramePixels ||
                               (acrossToo[p + kFrameWidth] && colour[p + kFrameWidth] == colour[p]);
            flat[p] = static_cast<std::uint8_t>(acrossToo[p] && above && below);
        }
    }

    // Where the search starts: the last frame's levels, each component moved into the two levels that
    // bracket its new source if it lies outside them (the ordered dither's levels in the first frame);
    // a component exactly on a level takes it, and a flat area the ordered levels. Black is a level: black
    // bars stay black, whatever their neighbours' errors. The levels are the last frame's when this starts
    // (apply leaves them so); only rows near a change of the source are looked at.
    void start() {
        findFlat();
        std::array<std::uint8_t, kFrameWidth * 3> ordered{};
        for (int y = 0; y < kFrameHeight; ++y) {
            const bool near = !changed[static_cast<std::size_t>(y)].empty() ||
                              (y > 0 && !changed[static_cast<std::size_t>(y - 1)].empty()) ||
                              (y + 1 < kFrameHeight && !changed[static_cast<std::size_t>(y + 1)].empty());
            if (!near) {
                continue;
            }
            const std::size_t rowStart = static_cast<std::size_t>(y) * kFrameWidth;
            const std::uint8_t* from = &source[rowStart * 3];
            orderedRow(from, y, ordered.data());
            Span moved;
            for (int x = 0; x < kFrameWidth; ++x) {
                const std::size_t p = rowStart + static_cast<std::size_t>(x);
                const std::size_t i = static_cast<std::size_t>(x) * 3;
                const std::size_t q = padded(x, y);
                std::uint8_t* now = &levels[p * 3];
                bool anyFree = false;
                bool levelsMoved = false;
                for (std::size_t c = 0; c < 3; ++c) {
                    const std::uint8_t value = from[i + c];
                    const std::uint8_t lower = t.lowLevel[value];
                    const bool exact = t.exactLevel[value] != kInexact;
                    const bool fixed = exact || flat[p] != 0;
                    std::uint8_t level = lower;
                    if (flat[p] != 0 || (fresh[p] != 0 && !exact)) {
                        level = ordered[i + c];
                    } else if (!exact) {
                        level = std::clamp(now[c], lower, static_cast<std::uint8_t>(lower + 1));
                    }
                    levelsMoved = levelsMoved || level != now[c];
                    now[c] = level;
                    low[p * 3 + c] = lower;
                    movable[c][q] = fixed ? kNone : t.levelLinear[level];
                    bracket[c][q] = fixed ? kNone : static_cast<float>(lower);
                    anyFree = anyFree || !fixed;
                }
                searchable[p] = anyFree ? 1 : 0;
                if (levelsMoved) {
                    index[p] = indexOf(now);
                    moved.cover(Span{x, x});
                }
            }
            changed[static_cast<std::size_t>(y)].cover(moved);
        }
        // The error changes within its reach of a change, and only there can the search find anything.
        spans.fill(Span{});
        for (int y = 0; y < kFrameHeight; ++y) {
            const Span& row = changed[static_cast<std::size_t>(y)];
            if (row.empty()) {
                continue;
            }
            const Span reach{std::max(row.first - kReach, 0), std::min(row.last + kReach, kFrameWidth - 1)};
            for (int r = std::max(y - kReach, 0); r <= std::min(y + kReach, kFrameHeight - 1); ++r) {
                spans[static_cast<std::size_t>(r)].cover(reach);
            }
        }
        searchedCount = 0;
        for (int y = 0; y < kFrameHeight; ++y) {
            const Span& row = spans[static_cast<std::size_t>(y)];
            for (int x = row.first; x <= row.last; ++x) {
                const std::size_t p = static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x);
                if (searchable[p] != 0) {
                    searchedAt[searchedCount++] = {static_cast<std::uint32_t>(p),
                                                   static_cast<std::uint32_t>(padded(x, y))};
                }
            }
        }
    }

    // The error of the starting levels, correlated with the blur's autocorrelation (separable), four
    // pixels at a time, where it changed; elsewhere it stays as the last frame's search left it.
    void correlate() {
        const auto load = [](const float* from) {
            Lanes value;
            std::memcpy(&value, from, sizeof value);
            return value;
        };
        // Per row, the columns the first (horizontal) pass must give: all that the second reads.
        std::array<Span, kFrameHeight> across{};
        for (int y = 0; y < kFrameHeight; ++y) {
            for (int r = std::max(y - kReach, 0); r <= std::min(y + kReach, kFrameHeight - 1); ++r) {
                across[static_cast<std::size_t>(r)].cover(spans[static_cast<std::size_t>(y)]);
            }
        }
        float* row = &raw[kBorder];
        for (std::size_t c = 0; c < 3; ++c) {
            std::array<float, kPadded>& e = error[c];
            for (int y = 0; y < kFrameHeight; ++y) {
                const Span& need = across[static_cast<std::size_t>(y)];
                if (need.empty()) {
                    continue;
                }
                const int from = std::max(need.firstLane() - kReach, 0);
                const int to = std::min(need.lastLane() + kReach, kFrameWidth - 1);
                const std::size_t rowStart = static_cast<std::size_t>(y) * kFrameWidth;
                for (int x = from; x <= to; ++x) {
                    const std::size_t i = (rowStart + static_cast<std::size_t>(x)) * 3 + c;
                    row[x] = t.linear[source[i]] - t.levelLinear[levels[i]];
                }
                for (int x = need.firstLane(); x <= need.last; x += kLanes) {
                    Lanes sum{};
                    for (int k = -kReach; k <= kReach; ++k) {
                        sum += t.correlation[static_cast<std::size_t>(k + kReach)] * load(&row[x + k]);
                    }
                    std::memcpy(&rows[padded(x, y)], &sum, sizeof sum);
                }
            }
            for (int y = 0; y < kFrameHeight; ++y) {
                const Span& need = spans[static_cast<std::size_t>(y)];
                for (int x = need.firstLane(); x <= need.last; x += kLanes) {
                    Lanes sum{};
                    for (int k = -kReach; k <= kReach; ++k) {
                        sum += t.correlation[static_cast<std::size_t>(k + kReach)] *
                               load(&rows[padded(x, y + k)]);
                    }
                    std::memcpy(&e[padded(x, y)], &sum, sizeof sum);
                }
            }
        }
    }

    void setLevel(std::size_t c, std::size_t p, std::size_t q, std::uint8_t level) {
        const float delta = t.levelLinear[level] - t.levelLinear[levels[p * 3 + c]];
        float* around = &error[c][q - kReach * kPaddedWidth - kReach];
        for (int dy = 0; dy < kSpan; ++dy, around += kPaddedWidth) {
            const float row = delta * t.correlation[static_cast<std::size_t>(dy)];
            Lanes value[kUpdateWidth / kLanes];
            std::memcpy(&value, around, sizeof value);
            for (std::size_t lane = 0; lane < kUpdateWidth / kLanes; ++lane) {
                value[lane] -= row * t.correlationLanes[lane];
            }
            std::memcpy(around, &value, sizeof value);
        }
        std::uint8_t* near = &stale[q - kStaleReach * kPaddedWidth - kStaleReach];
        for (int dy = 0; dy < kStaleWidth; ++dy, near += kPaddedWidth) {
            std::memset(near, 1, kStaleWidth);
        }
        index[p] = static_cast<std::int16_t>(index[p] + (level - levels[p * 3 + c]) * kWeight[c]);
        levels[p * 3 + c] = level;
        movable[c][q] = t.levelLinear[level];
    }

    // Pixel p, at padded position q, takes the best of the six one-level steps of a component and its last
    // levels, if any lowers its cost; true when it changed. The seven are weighed side by side, in lanes:
    // component 0 down and up, component 1 down and up; component 2 down and up, the last levels, none.

    // Pixel p, at padded position q, takes the best of its components' moves to the other level of their
    // bracket and its last levels, if any lowers its cost; true when it changed. The four are weighed side
    // by side, in lanes: components 0, 1 and 2 to their other level, the last levels.
    bool improve(std::size_t p, std::size_t q) {
        const std::uint8_t* now = &levels[p * 3];
        const std::uint8_t* lower = &low[p * 3];
        const int before = code[p];  // pixel p's code is at p + 1
        const int after = code[p + 2];
        const int runsNow = (code[p + 1] != before ? 1 : 0) + (code[p + 1] != after ? 1 : 0);
        const Lanes e{error[0][q], error[1][q], error[2][q], 0.0F};
        const Lanes here{movable[0][q], movable[1][q], movable[2][q], 0.0F};  // NaN where fixed
        std::array<std::uint8_t, 3> other{};
        for (std::size_t c = 0; c < 3; ++c) {
            other[c] = now[c] == lower[c] ? static_cast<std::uint8_t>(std::min(lower[c] + 1, kLevels - 1))
                                          : lower[c];
        }
        const Lanes steps =
            Lanes{t.levelLinear[other[0]], t.levelLinear[other[1]], t.levelLinear[other[2]], 0.0F} - here;
        Lanes costs = steps * (steps * t.centre - 2.0F * e);
        costs[3] = kNone;
        const int levelsIndex = index[p];
        const int lastLevels = lastIndex[p];
        if (started && levelsIndex != lastLevels) {
            float toLastCost = 0;
            for (std::size_t c = 0; c < 3; ++c) {
                const std::uint8_t to = last[p * 3 + c];
                if (to == now[c]) {
                    continue;
                }
                if (to != lower[c] && to != lower[c] + 1) {
                    toLastCost = kNone;  // outside the bracket
                    break;
                }
                const float delta = t.levelLinear[to] - here[c];  // NaN where fixed: not allowed
                toLastCost += delta * (delta * t.centre - 2.0F * e[c]);
            }
            costs[3] = toLastCost;
        }
        // None can win when each error change is above every run the pixel has: most visits end here.
        const float runSaving = runCost[p] * static_cast<float>(runsNow);
        if (!anyBelow(costs, Lanes{} + runSaving)) {
            return false;
        }
        // The runs each makes or ends, from what the stream would hold there.
        const Ints indices{levelsIndex + (other[0] - now[0]) * kWeight[0],
                           levelsIndex + (other[1] - now[1]) * kWeight[1],
                           levelsIndex + (other[2] - now[2]) * kWeight[2], lastLevels};
        const Ints codes = indices == lastLevels ? Ints{} + kUnchanged : indices;
        const Ints runs = runsNow + (codes != before) + (codes != after);  // true is -1
        costs += runCost[p] * -__builtin_convertvector(runs, Lanes);
        // A pixel whose source stands still pays for leaving its last levels.
        const Ints leaves = (codes != Ints{} + kUnchanged) - (code[p + 1] != kUnchanged ? -1 : 0);
        costs += holdCost[p] * -__builtin_convertvector(leaves, Lanes);
        const int best = leastLane(costs, -1e-9F);
        if (best < 0) {
            return false;
        }
        if (best == 3) {
            for (std::size_t c = 0; c < 3; ++c) {
                if (last[p * 3 + c] != now[c]) {
                    setLevel(c, p, q, last[p * 3 + c]);
                }
            }
            code[p + 1] = kUnchanged;
            return true;
        }
        const auto c = static_cast<std::size_t>(best);
        setLevel(c, p, q, other[c]);
        code[p + 1] = codeFor(p, index[p]);
        return true;
    }

    // The best exchange of one component's levels between pixel p (padded position q) and a neighbour right
    // of or below it with the same bracket, which keeps their mean and moves the error by a pixel; true
    // when one lowered the cost. The twelve exchanges' error changes are worked out together (NaN where one
    // of the two may not move or the brackets differ); only those that lower the error have their runs
    // counted.
    bool exchange(std::size_t p, std::size_t q) {
        // Lanes: the neighbours below left, below, below right (side by side in memory), then right.
        const std::size_t belowLeft = q + kPaddedWidth - 1;
        const auto neighbours = [&](const std::array<float, kPadded>& plane) {
            return firstThreeAndLast(&plane[belowLeft], &plane[q - 2]);
        };
        Lanes costs[3];
        bool any = false;
        for (std::size_t c = 0; c < 3; ++c) {
            const Lanes moved = neighbours(movable[c]) - movable[c][q];
            const Lanes a = neighbours(bracket[c]) == bracket[c][q] ? moved : Lanes{} + kNone;
            costs[c] =
                2.0F * a * a * (t.centre - t.overlap) - 2.0F * a * (error[c][q] - neighbours(error[c]));
            any = any || anyBelow(costs[c], Lanes{});
        }
        if (!any) {
            return false;
        }
        // In the order right, below, below left, below right: the first of equal costs wins.
        static constexpr std::size_t kLaneOrder[4] = {3, 1, 0, 2};
        float bestCost = -1e-9F;
        std::size_t bestOther = 0;
        std::size_t bestOtherPadded = 0;
        std::size_t bestC = 3;
        for (const std::size_t lane : kLaneOrder) {
            const bool right = lane == 3;
            const std::size_t o = right ? p + 1 : p + kFrameWidth + lane - 1;
            const std::size_t oq = right ? q + 1 : belowLeft + lane;
            for (std::size_t c = 0; c < 3; ++c) {
                float cost = costs[c][lane];
                if (!(cost < bestCost)) {
                    continue;
                }
                const int shift = (levels[o * 3 + c] - levels[p * 3 + c]) * kWeight[c];
                const std::uint16_t newP = codeFor(p, index[p] + shift);
                const std::uint16_t newO = codeFor(o, index[o] - shift);
                // Runs over the boundaries the two pixels touch (codes sit at pixel + 1).
                const auto boundaries = [&](std::uint16_t atP, std::uint16_t atO) {
                    if (right) {
                        return (code[p] != atP ? 1 : 0) + (atP != atO ? 1 : 0) + (atO != code[o + 2] ? 1 : 0);
                    }
                    return (code[p] != atP ? 1 : 0) + (atP != code[p + 2] ? 1 : 0) +
                           (code[o] != atO ? 1 : 0) + (atO != code[o + 2] ? 1 : 0);
                };
                cost += runCost[p] *
                        static_cast<float>(boundaries(newP, newO) - boundaries(code[p + 1], code[o + 1]));
                const auto leaving = [](std::uint16_t from, std::uint16_t to) {
                    return static_cast<float>((to != kUnchanged ? 1 : 0) - (from != kUnchanged ? 1 : 0));
                };
                cost += holdCost[p] * leaving(code[p + 1], newP) + holdCost[o] * leaving(code[o + 1], newO);
                if (cost < bestCost) {
                    bestCost = cost;
                    bestOther = o;
                    bestOtherPadded = oq;
                    bestC = c;
                }
            }
        }
        if (bestC == 3) {
            return false;
        }
        const std::uint8_t mine = levels[p * 3 + bestC];
        setLevel(bestC, p, q, levels[bestOther * 3 + bestC]);
        setLevel(bestC, bestOther, bestOtherPadded, mine);
        code[p + 1] = codeFor(p, index[p]);
        code[bestOther + 1] = codeFor(bestOther, index[bestOther]);
        return true;
    }

    void search() {
        code[0] = kUnchanged - 1;  // matches no pixel: the frame's first and last runs end there
        code[kFramePixels + 1] = kUnchanged - 1;
        for (std::size_t p = 0; p < kFramePixels; ++p) {
            code[p + 1] = codeFor(p, index[p]);
        }
        for (std::size_t i = 0; i < searchedCount; ++i) {
            const std::size_t p = searchedAt[i].pixel;
            // Byte 0 is blue, as in a BMP.
            const float luminance = 0.0722F * t.linear[source[p * 3]] +
                                    0.7152F * t.linear[source[p * 3 + 1]] +
                                    0.2126F * t.linear[source[p * 3 + 2]];
            runCost[p] = t.runCost[static_cast<std::size_t>(luminance * (kRunCosts - 1) + 0.5F)];
            holdCost[p] = still[p] != 0 ? runCost[p] * kHoldWeight : 0.0F;
        }
        stale.fill(1);
        for (int pass = 0; pass < (started ? kWarmPasses : kPasses); ++pass) {
            bool improved = false;
            for (std::size_t i = 0; i < searchedCount; ++i) {
                const auto [p, q] = searchedAt[i];
                if (stale[q] == 0) {
                    continue;
                }
                stale[q] = 0;
                improved = improve(p, q) || improved;
                improved = exchange(p, q) || improved;
            }
            if (!improved) {
                break;
            }
        }
    }
};

SearchDither::SearchDither() = default;
SearchDither::~SearchDither() = default;

void SearchDither::apply(animconv::FrameBuffer& frame) {
    SearchDitherState& s = state();
    s.load(frame.pixels);
    s.start();
    if (s.searchedCount > 0) {
        s.correlate();
        s.search();
    }
    for (std::size_t p = 0; p < kFramePixels; ++p) {
        for (std::size_t c = 0; c < 3; ++c) {
            frame.pixels[p * kPixelBytes + c] = static_cast<std::uint8_t>(s.levels[p * 3 + c] * kStep);
        }
        frame.pixels[p * kPixelBytes + 3] = 0;
    }
    s.last = s.levels;
    s.lastIndex = s.index;
    s.started = true;
}

}  // namespace animmake::dither
