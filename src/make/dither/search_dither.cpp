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

namespace animmake {
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

// A pixel whose source moved by at most this much in every component since its levels were chosen keeps
// them: a camera's noise on a still scene, not a change anyone sees. Measured on real clips: holding at 3
// rather than 2, with the run cost lowered to keep the bytes, is closer to the source on five of six (the
// film the same) and searches fewer pixels.
constexpr int kHoldChange = 3;
// Passes over the pixels being searched, each only near the last pass's changes. Measured on real clips
// (bench/results/dithers.md): after 5 passes a talking head is 1% further from the source than after 8;
// 16 gain nothing more.
constexpr int kPasses = 8;
// The cost of one run, in squared linear light after the blur, at mid grey (0.18); scaled by
// (luminance / 0.18)^(4/3) so that it weighs about as much in CIELAB at every lightness. Measured on real
// clips: 6e-4 leaves a rendered film 0.99x ordered's bytes and a tree 0.96x; 9e-4 a talking head 0.82x
// ordered's dE, short of the fifth closer wanted where the camera stands still.
constexpr float kRunCost = 7e-4F;
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

// The first of the eight lanes of `first` and `second` that holds their least value, if that is below
// `bound`; -1 when none is (NaN lanes never are).
int firstLeast(Lanes first, Lanes second, float bound) {
    constexpr float kNever = std::numeric_limits<float>::infinity();
    first = first < bound ? first : kNever;
    second = second < bound ? second : kNever;
    const Lanes both = first < second ? first : second;
    const float least = std::min(std::min(both[0], both[1]), std::min(both[2], both[3]));
    if (!(least < bound)) {
        return -1;
    }
    for (int lane = 0; lane < kLanes; ++lane) {
        if (first[lane] == least) {
            return lane;
        }
    }
    for (int lane = 0; lane < kLanes; ++lane) {
        if (second[lane] == least) {
            return kLanes + lane;
        }
    }
    return -1;
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
    Lanes overlap{};                         // the 2-D autocorrelation at each exchange's neighbour
    std::array<float, kRunCosts> runCost{};  // by luminance, 0 to 1
    std::array<std::array<float, 2>, kLevels> levelsAround{};  // a level's neighbours, NaN past the ends
    std::array<std::uint8_t, 256> exactLevel{};  // the level a component value is exactly, or kInexact

    SearchTables() {
        for (int v = 0; v < 256; ++v) {
            linear[static_cast<std::size_t>(v)] = static_cast<float>(linearOf(v));
        }
        for (int level = 0; level < kLevels; ++level) {
            levelLinear[static_cast<std::size_t>(level)] = static_cast<float>(linearOf(level * kStep));
        }
        for (int v = 0; v < 256; ++v) {
            exactLevel[static_cast<std::size_t>(v)] =
                v % kStep == 0 ? static_cast<std::uint8_t>(v / kStep) : kInexact;
        }
        for (std::size_t level = 0; level < kLevels; ++level) {
            levelsAround[level] = {level > 0 ? levelLinear[level - 1] : kNone,
                                   level + 1 < kLevels ? levelLinear[level + 1] : kNone};
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
    std::array<std::uint8_t, kComponents> chosenFor{};  // the source each pixel's levels were chosen for
    std::array<std::uint8_t, kComponents> last{};       // the last frame's levels
    std::array<std::uint8_t, kComponents> levels{};
    std::array<std::int16_t, kFramePixels> index{};      // the levels as one number
    std::array<std::int16_t, kFramePixels> lastIndex{};  // the last frame's, -1 before the first
    std::array<std::uint16_t, kFramePixels + 2> code{};  // the stream's values, one spare each side
    std::array<float, kFramePixels> runCost{};
    // Padded planes, one a component: the error (source minus levels, linear, then correlated), and the
    // levels in linear light where the search may move them, NaN elsewhere (borders, held pixels, exact
    // levels), so that candidates involving those drop out of the comparisons without a branch.
    std::array<std::array<float, kPadded>, 3> error{};
    std::array<std::array<float, kPadded>, 3> movable{};
    std::array<float, kPadded> rows{};
    // Pixels near a change since they were last looked at: only they can find anything new.
    std::array<std::uint8_t, kPadded> stale{};
    // Per row, the columns from the first pixel being searched to the last.
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
    std::array<Span, kFrameHeight> spans{};
    // The pixels being searched, in scan order, and their padded positions.
    struct Position {
        std::uint32_t pixel;
        std::uint32_t padded;
    };
    std::array<Position, kFramePixels> searchedAt{};
    std::size_t searchedCount = 0;

    SearchDitherState() {
        for (auto& plane : movable) {
            plane.fill(kNone);  // the borders stay so
        }
        lastIndex.fill(-1);
    }

    static std::int16_t indexOf(const std::uint8_t* l) {
        return static_cast<std::int16_t>(l[0] * kWeight[0] + l[1] * kWeight[1] + l[2] * kWeight[2]);
    }

    std::uint16_t codeFor(std::size_t p, int levelsIndex) const {
        return levelsIndex == lastIndex[p] ? kUnchanged : static_cast<std::uint16_t>(levelsIndex);
    }

    // Which components are exact, which pixels are held, and where the search starts. Black is a level:
    // black bars stay black, whatever their neighbours' errors. The levels are the last frame's when this
    // starts (apply leaves them so), and only the pixels searched then hold anything but NaN in the movable
    // planes: a held pixel costs no more than telling that it is.
    void start() {
        for (std::size_t i = 0; i < searchedCount; ++i) {
            for (auto& plane : movable) {
                plane[searchedAt[i].padded] = kNone;
            }
        }
        spans.fill(Span{});
        searchedCount = 0;
        std::array<std::uint8_t, kFrameWidth * 3> near{};  // 1 where a component is within the hold
        std::array<std::uint8_t, kFrameWidth * 3> ordered{};
        for (int y = 0; y < kFrameHeight; ++y) {
            const std::size_t rowStart = static_cast<std::size_t>(y) * kFrameWidth;
            const std::uint8_t* from = &source[rowStart * 3];
            const std::uint8_t* chosen = &chosenFor[rowStart * 3];
            std::uint8_t allNear = started ? 1 : 0;
            for (std::size_t i = 0; i < near.size(); ++i) {
                // |from - chosen| <= kHoldChange, as one unsigned comparison
                near[i] = static_cast<std::uint8_t>(
                    started &&
                    static_cast<std::uint8_t>(from[i] - chosen[i] + kHoldChange) <= 2 * kHoldChange);
                allNear &= near[i];
            }
            const bool anyMoved = allNear == 0;
            if (anyMoved) {
                orderedRow(from, y, ordered.data());
            }
            for (int x = 0; x < kFrameWidth; ++x) {
                const std::size_t p = rowStart + static_cast<std::size_t>(x);
                const std::size_t i = static_cast<std::size_t>(x) * 3;
                std::uint8_t* now = &levels[p * 3];
                if (near[i] && near[i + 1] && near[i + 2]) {
                    // Held: only a component that has come onto a level exactly moves.
                    for (std::size_t c = 0; c < 3; ++c) {
                        const std::uint8_t level = t.exactLevel[from[i + c]];
                        if (level != kInexact && level != now[c]) {
                            now[c] = level;
                            index[p] = indexOf(now);
                        }
                    }
                    continue;
                }
                const std::size_t q = padded(x, y);
                bool allExact = true;
                for (std::size_t c = 0; c < 3; ++c) {
                    const std::uint8_t level = t.exactLevel[from[i + c]];
                    allExact = allExact && level != kInexact;
                    now[c] = level != kInexact ? level : ordered[i + c];
                    movable[c][q] = level != kInexact ? kNone : t.levelLinear[now[c]];
                }
                index[p] = indexOf(now);
                std::copy_n(from + i, 3, &chosenFor[p * 3]);
                if (!allExact) {
                    searchedAt[searchedCount++] = {static_cast<std::uint32_t>(p),
                                                   static_cast<std::uint32_t>(q)};
                    spans[static_cast<std::size_t>(y)].cover(Span{x, x});
                }
            }
        }
    }

    // The error of the starting levels, correlated with the blur's autocorrelation (separable), four
    // pixels at a time, only where the search reads it: at the pixels being searched.
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
        for (std::size_t c = 0; c < 3; ++c) {
            std::array<float, kPadded>& e = error[c];
            for (int y = 0; y < kFrameHeight; ++y) {
                const Span& need = across[static_cast<std::size_t>(y)];
                if (need.empty()) {
                    continue;
                }
                float* row = &e[padded(0, y)];
                std::fill(row - kBorder, row, 0.0F);  // the borders, which updates spill into
                std::fill(row + kFrameWidth, row + kPaddedWidth - kBorder, 0.0F);
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

    // Component c of pixel p, at padded position q, takes `level`: the correlated error around it falls by
    // the change, and the pixels near it are looked at again.
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
    bool improve(std::size_t p, std::size_t q) {
        const std::uint8_t* now = &levels[p * 3];
        const int before = code[p];  // pixel p's code is at p + 1
        const int after = code[p + 2];
        const int runsNow = (code[p + 1] != before ? 1 : 0) + (code[p + 1] != after ? 1 : 0);
        const float e[3] = {error[0][q], error[1][q], error[2][q]};
        const float here[3] = {movable[0][q], movable[1][q], movable[2][q]};
        // The error each makes, NaN where a component is exact or at the end of the levels.
        const std::array<float, 2>& around0 = t.levelsAround[now[0]];
        const std::array<float, 2>& around1 = t.levelsAround[now[1]];
        const std::array<float, 2>& around2 = t.levelsAround[now[2]];
        const Lanes firstSteps =
            Lanes{around0[0], around0[1], around1[0], around1[1]} - Lanes{here[0], here[0], here[1], here[1]};
        const Lanes lastSteps = Lanes{around2[0], around2[1], kNone, kNone} - here[2];
        Lanes firstCosts = firstSteps * (firstSteps * t.centre - 2.0F * Lanes{e[0], e[0], e[1], e[1]});
        Lanes lastCosts = lastSteps * (lastSteps * t.centre - 2.0F * e[2]);
        const int levelsIndex = index[p];
        const int lastLevels = lastIndex[p];
        if (started && levelsIndex != lastLevels) {
            float toLastCost = 0;
            for (std::size_t c = 0; c < 3; ++c) {
                const std::uint8_t to = last[p * 3 + c];
                if (to != now[c]) {
                    const float delta = t.levelLinear[to] - here[c];  // NaN where exact: not allowed
                    toLastCost += delta * (delta * t.centre - 2.0F * e[c]);
                }
            }
            lastCosts[2] = toLastCost;
        }
        // None can win when each error change is above every run the pixel has: most visits end here.
        const float runSaving = runCost[p] * static_cast<float>(runsNow);
        if (!anyBelow(firstCosts, Lanes{} + runSaving) && !anyBelow(lastCosts, Lanes{} + runSaving)) {
            return false;
        }
        // The runs each makes or ends, from what the stream would hold there.
        const Ints unchanged = Ints{} + kUnchanged;
        const Ints firstIndices = levelsIndex + Ints{-36, 36, -6, 6};
        const Ints lastIndices = Ints{levelsIndex - 1, levelsIndex + 1, lastLevels, lastLevels};
        const Ints firstCodes = firstIndices == lastLevels ? unchanged : firstIndices;
        const Ints lastCodes = lastIndices == lastLevels ? unchanged : lastIndices;
        const Ints firstRuns = runsNow + (firstCodes != before) + (firstCodes != after);  // true is -1
        const Ints lastRuns = runsNow + (lastCodes != before) + (lastCodes != after);
        firstCosts += runCost[p] * -__builtin_convertvector(firstRuns, Lanes);
        lastCosts += runCost[p] * -__builtin_convertvector(lastRuns, Lanes);
        const int best = firstLeast(firstCosts, lastCosts, -1e-9F);
        if (best < 0) {
            return false;
        }
        if (best == 6) {
            for (std::size_t c = 0; c < 3; ++c) {
                if (last[p * 3 + c] != now[c]) {
                    setLevel(c, p, q, last[p * 3 + c]);
                }
            }
            code[p + 1] = kUnchanged;
            return true;
        }
        const auto c = static_cast<std::size_t>(best / 2);
        setLevel(c, p, q, static_cast<std::uint8_t>(best % 2 == 0 ? now[c] - 1 : now[c] + 1));
        code[p + 1] = codeFor(p, index[p]);
        return true;
    }

    // The best exchange of one component's levels between pixel p (padded position q) and a neighbour right
    // of or below it, which keeps their mean and moves the error by a pixel; true when one lowered the cost.
    // The twelve exchanges' error changes are worked out together (NaN where one of the two may not move);
    // only those that lower the error have their runs counted.
    bool exchange(std::size_t p, std::size_t q) {
        // Lanes: the neighbours below left, below, below right (side by side in memory), then right.
        const std::size_t belowLeft = q + kPaddedWidth - 1;
        const auto neighbours = [&](const std::array<float, kPadded>& plane) {
            return firstThreeAndLast(&plane[belowLeft], &plane[q - 2]);
        };
        Lanes costs[3];
        bool any = false;
        for (std::size_t c = 0; c < 3; ++c) {
            const Lanes a = neighbours(movable[c]) - movable[c][q];
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
        }
        stale.fill(1);
        for (int pass = 0; pass < kPasses; ++pass) {
            bool changed = false;
            for (std::size_t i = 0; i < searchedCount; ++i) {
                const auto [p, q] = searchedAt[i];
                if (stale[q] == 0) {
                    continue;
                }
                stale[q] = 0;
                changed = improve(p, q) || changed;
                changed = exchange(p, q) || changed;
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
        for (std::size_t c = 0; c < 3; ++c) {
            s.source[p * 3 + c] = frame.pixels[p * kPixelBytes + c];
        }
    }
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

}  // namespace animmake
