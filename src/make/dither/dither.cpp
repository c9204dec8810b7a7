#include "make/dither/dither.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

namespace animmake::dither {
namespace {

using animconv::kFrameHeight, animconv::kFramePixels, animconv::kFrameWidth, animconv::kPixelBytes;

constexpr int kLevels = animconv::kCubeLevels;
constexpr int kStep = animconv::kCubeStep;

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

std::uint8_t cubeLevelValue(int level) {
    return static_cast<std::uint8_t>(level * kStep);
}

// The level closest to a linear value.
int nearestLevel(const DitherTables& t, float wanted) {
    int best = 0;
    for (int level = 1; level < kLevels; ++level) {
        if (std::fabs(t.levelLinear[static_cast<std::size_t>(level)] - wanted) <
            std::fabs(t.levelLinear[static_cast<std::size_t>(best)] - wanted)) {
            best = level;
        }
    }
    return best;
}

// The ordered dither's level for component value v where the matrix's threshold is `threshold`.
int orderedLevelAt(const DitherTables& t, std::uint8_t v, std::uint16_t threshold) {
    return t.lowerLevel[v] + (t.fraction[v] > threshold ? 1 : 0);
}

void orderedFrame(animconv::FrameBuffer& frame) {
    const DitherTables& t = tables();
    for (int y = 0; y < kFrameHeight; ++y) {
        const auto& row = kBayer[static_cast<std::size_t>(y & kMatrixMask)];
        std::uint8_t* pixel = frame.pixels + static_cast<std::size_t>(y) * kFrameWidth * kPixelBytes;
        for (int x = 0; x < kFrameWidth; ++x, pixel += kPixelBytes) {
            const std::uint16_t threshold = t.threshold[row[static_cast<std::size_t>(x & kMatrixMask)]];
            for (std::size_t c = 0; c < 3; ++c) {
                pixel[c] = cubeLevelValue(orderedLevelAt(t, pixel[c], threshold));
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
                const float wanted = std::fmin(1.0F, std::fmax(0.0F, t.linear[pixel[c]] + current[at(x)]));
                const int best = nearestLevel(t, wanted);
                const float error = wanted - t.levelLinear[static_cast<std::size_t>(best)];
                current[at(x + direction)] += error * (7.0F / 16.0F);
                next[at(x - direction)] += error * (3.0F / 16.0F);
                next[at(x)] += error * (5.0F / 16.0F);
                next[at(x + direction)] += error * (1.0F / 16.0F);
                pixel[c] = cubeLevelValue(best);
            }
            pixel[3] = 0;
        }
        current = next;
    }
}

// ---- The steady dither ----------------------------------------------------------------------------------

// Motion is judged per 10x10 block: a block's mean change averages a phone's sensor noise out, and a small
// moving thing still stands out in it. Which pixels of a moved block take new levels is judged per pixel.
constexpr int kBlock = 10;
constexpr int kBlockColumns = kFrameWidth / kBlock;
constexpr int kBlockRows = kFrameHeight / kBlock;
constexpr int kBlocks = kBlockColumns * kBlockRows;
static_assert(kFrameWidth % kBlock == 0 && kFrameHeight % kBlock == 0);
constexpr std::size_t kComponents = kFramePixels * 3;

// The thresholds below were tuned on bench/make/dither_bench's kinds of content; changes are in component
// codes after a 3x3 box blur.
constexpr float kBlockMoved = 2.0F;  // mean change of a block that has moved (a phone's noise mostly less)
constexpr int kPeakMoved = 24;       // or the largest unblurred change (a small thing appearing)
constexpr float kPixelMoved = 8.0F;  // a pixel of a moved block that changed less keeps its levels...
constexpr float kPixelBack = 4.0F;   // ...and one that changed more takes them back only below this
constexpr int kSettleFrames = 3;     // frames a block stands still before it is diffused again
// A pan: more than 40% of the textured blocks changed over the last kHistory frames (or since a cut, if
// that is nearer) by more than 1.5x their change from one frame to the next, plus 0.4 codes. Noise changes
// as much in one frame as in eight; a pan of a sixteenth of a pixel a frame, too slow to see, has moved
// half a pixel in eight.
constexpr int kHistory = 8;
constexpr float kPanGain = 1.5F;
constexpr float kPanMargin = 0.4F;
constexpr int kPanPercent = 40;
constexpr float kPanKept = 2.0F;  // while panning, a block that changed less keeps its levels
// A cut: a third of the textured blocks changed by more than 8 codes from the last frame, which did not.
constexpr float kCutChange = 8.0F;
constexpr int kCutPercent = 33;
// A flat block: 70% of its pixels equal both their left and upper neighbours. When a quarter of the
// blocks are flat, the frame is drawn (a screen, a cartoon) and ordered everywhere: its text and edges
// change in steps, and diffusing them again after every step would double the stream.
constexpr int kFlatPercent = 70;
constexpr int kDrawnPercent = 25;

struct BlockTable {
    std::array<std::uint16_t, kFramePixels> blockOfPixel{};
    BlockTable() {
        for (std::size_t p = 0; p < kFramePixels; ++p) {
            const std::size_t x = p % kFrameWidth;
            const std::size_t y = p / kFrameWidth;
            blockOfPixel[p] = static_cast<std::uint16_t>((y / kBlock) * kBlockColumns + x / kBlock);
        }
    }
};

std::size_t blockOf(std::size_t pixel) {
    static const BlockTable table;
    return table.blockOfPixel[pixel];
}

// What a pixel's levels become in this frame.
enum class PixelAction : std::uint8_t { restore, order, diffuse };

using Components = std::array<std::uint8_t, kComponents>;

// How far one picture lies from another, after a 3x3 box blur that averages noise out but keeps a moved
// edge or texture: per pixel, the largest component's change; per block, the mean over its pixels and
// components, and the largest unblurred change.
struct Difference {
    std::array<float, kFramePixels> pixel{};  // filled only when asked for
    std::array<float, kBlocks> block{};
    std::array<int, kBlocks> peak{};

    void measure(const Components& a, const Components& b, bool perPixel) {
        constexpr std::size_t kRow = kFrameWidth * 3;
        constexpr std::size_t kSegment = kBlock * 3;  // one block's components in a row
        // Horizontal 3-sums of the change, three rows at a time (row r at r % 3); plain loops over
        // padded rows, which the compiler vectorises.
        std::array<std::array<std::int16_t, kRow>, 3> sums{};
        std::array<std::int16_t, kRow + 6> change{};  // one pixel of padding each side, repeating the edge
        std::array<std::int32_t, kBlocks> totals{};
        peak.fill(0);
        // A row the same in both adds nothing; where three in a row are, the box sums are all zero.
        std::array<bool, kFrameHeight> same{};
        const auto sumRow = [&](std::size_t y) {
            const std::uint8_t* rowA = &a[y * kRow];
            const std::uint8_t* rowB = &b[y * kRow];
            same[y] = std::equal(rowA, rowA + kRow, rowB);
            if (same[y]) {
                sums[y % 3].fill(0);
                return;
            }
            for (std::size_t i = 0; i < kRow; ++i) {
                change[i + 3] = static_cast<std::int16_t>(rowA[i] - rowB[i]);
            }
            for (std::size_t c = 0; c < 3; ++c) {
                change[c] = change[3 + c];
                change[kRow + 3 + c] = change[kRow + c];
            }
            std::array<std::int16_t, kRow>& out = sums[y % 3];
            for (std::size_t i = 0; i < kRow; ++i) {
                out[i] = static_cast<std::int16_t>(change[i] + change[i + 3] + change[i + 6]);
            }
            const std::size_t blockRow = (y / kBlock) * kBlockColumns;
            for (std::size_t column = 0; column < kBlockColumns; ++column) {
                int top = peak[blockRow + column];
                for (std::size_t i = column * kSegment; i < (column + 1) * kSegment; ++i) {
                    top = std::max(top, std::abs(static_cast<int>(change[i + 3])));
                }
                peak[blockRow + column] = top;
            }
        };
        std::array<std::int16_t, kRow> box{};
        sumRow(0);
        for (std::size_t y = 0; y < kFrameHeight; ++y) {
            if (y + 1 < kFrameHeight) {
                sumRow(y + 1);
            }
            const std::size_t above = y > 0 ? y - 1 : y;
            const std::size_t below = y + 1 < kFrameHeight ? y + 1 : y;
            if (same[above] && same[y] && same[below]) {
                if (perPixel) {
                    std::fill_n(&pixel[y * kFrameWidth], kFrameWidth, 0.0F);
                }
                continue;
            }
            const auto& up = sums[(y > 0 ? y - 1 : y) % 3];
            const auto& here = sums[y % 3];
            const auto& down = sums[(y + 1 < kFrameHeight ? y + 1 : y) % 3];
            for (std::size_t i = 0; i < kRow; ++i) {
                box[i] = static_cast<std::int16_t>(std::abs(up[i] + here[i] + down[i]));
            }
            const std::size_t blockRow = (y / kBlock) * kBlockColumns;
            for (std::size_t column = 0; column < kBlockColumns; ++column) {
                std::int32_t total = 0;
                for (std::size_t i = column * kSegment; i < (column + 1) * kSegment; ++i) {
                    total += box[i];
                }
                totals[blockRow + column] += total;
            }
            if (perPixel) {
                for (std::size_t x = 0; x < kFrameWidth; ++x) {
                    const int largest = std::max({box[x * 3], box[x * 3 + 1], box[x * 3 + 2]});
                    pixel[y * kFrameWidth + x] = static_cast<float>(largest) / 9.0F;
                }
            }
        }
        for (std::size_t i = 0; i < kBlocks; ++i) {
            block[i] = static_cast<float>(totals[i]) / static_cast<float>(kBlock * kBlock * 3 * 9);
        }
    }
};

using Colours = std::array<std::uint32_t, kFramePixels>;  // the source's pixels as 0xRRGGBB, to compare whole

// What the frames show, read per block from each frame and those before it, apart from any pixel's levels:
// the flat blocks (all of them in a drawn frame), a cut, a pan, and how long each block has stood still.
class SceneReader {
  public:
    void read(const Components& source, const Colours& colours) {
        findFlat(colours);
        first_ = frameNumber_ == 0;
        if (!first_) {
            readMotion(source);
        }
        history_[frameNumber_ % kHistory] = source;
        ++frameNumber_;
    }

    bool first() const { return first_; }
    bool flat(std::size_t block) const { return flat_[block]; }
    bool panning() const { return framesSincePan_ < kSettleFrames; }
    bool settled(std::size_t block) const { return stillFrames_[block] >= kSettleFrames; }

  private:
    void findFlat(const Colours& colours) {
        std::array<int, kBlocks> same{};
        std::array<bool, kBlocks> uniform{};
        uniform.fill(true);
        std::array<std::uint8_t, kFrameWidth> equal{};  // per pixel of a row: the same as left and above
        for (std::size_t y = 0; y < kFrameHeight; ++y) {
            const std::uint32_t* row = &colours[y * kFrameWidth];
            const std::size_t blockRow = (y / kBlock) * kBlockColumns;
            if (y > 0) {
                const std::uint32_t* above = row - kFrameWidth;
                for (std::size_t x = 1; x < kFrameWidth; ++x) {
                    equal[x] = static_cast<std::uint8_t>((row[x] == row[x - 1]) & (row[x] == above[x]));
                }
            }
            const std::uint32_t* blockTop = &colours[(y / kBlock) * kBlock * kFrameWidth];
            for (std::size_t column = 0; column < kBlockColumns; ++column) {
                const std::uint32_t first = blockTop[column * kBlock];
                int count = 0;
                bool allFirst = true;
                for (std::size_t x = column * kBlock; x < (column + 1) * kBlock; ++x) {
                    count += equal[x];
                    allFirst &= row[x] == first;
                }
                same[blockRow + column] += count;
                uniform[blockRow + column] = uniform[blockRow + column] && allFirst;
            }
        }
        // Bars (a picture fitted into the frame, a letterboxed video) are whole rows or columns of
        // one-colour blocks at the edges: they are flat, but they do not make the picture a drawn one.
        std::array<bool, kBlocks> bar{};
        const auto rowIsBar = [&](std::size_t r) {
            return std::all_of(&uniform[r * kBlockColumns], &uniform[(r + 1) * kBlockColumns],
                               [](bool u) { return u; });
        };
        const auto columnIsBar = [&](std::size_t c) {
            for (std::size_t r = 0; r < kBlockRows; ++r) {
                if (!uniform[r * kBlockColumns + c]) {
                    return false;
                }
            }
            return true;
        };
        // Centred, as animmake and letterboxed videos place a picture: bars on both sides, within a block
        // row or column of the same size (an empty terminal has only its bottom rows blank).
        // The bar lines at each end of `lines` block rows or columns, when they are centred; else none.
        const auto centredBars = [](std::size_t lines, const auto& isBar) {
            std::size_t near = 0;
            while (near < lines && isBar(near)) {
                ++near;
            }
            std::size_t far = 0;
            while (far < lines - near && isBar(lines - 1 - far)) {
                ++far;
            }
            const bool centred = near > 0 && far > 0 && near <= far + 1 && far <= near + 1;
            return centred ? std::pair{near, far} : std::pair<std::size_t, std::size_t>{0, 0};
        };
        const auto [top, bottom] = centredBars(kBlockRows, rowIsBar);
        std::fill_n(bar.begin(), top * kBlockColumns, true);
        std::fill_n(bar.end() - static_cast<std::ptrdiff_t>(bottom * kBlockColumns), bottom * kBlockColumns,
                    true);
        const auto [left, right] = centredBars(kBlockColumns, columnIsBar);
        for (std::size_t r = 0; r < kBlockRows; ++r) {
            std::fill_n(&bar[r * kBlockColumns], left, true);
            std::fill_n(&bar[(r + 1) * kBlockColumns - right], right, true);
        }
        int flatBlocks = 0;
        int pictureBlocks = 0;
        for (std::size_t b = 0; b < kBlocks; ++b) {
            flat_[b] = same[b] * 100 >= kFlatPercent * kBlock * kBlock;
            flatBlocks += flat_[b] && !bar[b] ? 1 : 0;
            pictureBlocks += bar[b] ? 0 : 1;
        }
        if (pictureBlocks > 0 && flatBlocks * 100 >= kDrawnPercent * pictureBlocks) {
            flat_.fill(true);
        }
    }

    bool panning(bool earlierKnown) const {
        if (!earlierKnown) {
            return false;
        }
        int drifting = 0;
        int textured = 0;
        for (std::size_t b = 0; b < kBlocks; ++b) {
            if (!flat_[b]) {
                ++textured;
                drifting += fromEarlier_.block[b] > kPanGain * fromPrevious_.block[b] + kPanMargin ? 1 : 0;
            }
        }
        return drifting * 100 > kPanPercent * textured;
    }

    void readMotion(const Components& source) {
        fromPrevious_.measure(source, history_[(frameNumber_ - 1) % kHistory], false);
        // A cut: most of the picture changed at once after a frame that did not. The new picture is
        // diffused at once, as a first frame is, and what came before the cut says nothing about motion.
        int textured = 0;
        int changed = 0;
        for (std::size_t b = 0; b < kBlocks; ++b) {
            textured += flat_[b] ? 0 : 1;
            changed += !flat_[b] && fromPrevious_.block[b] > kCutChange ? 1 : 0;
        }
        const bool changedNow = changed * 100 > kCutPercent * textured;
        const bool cut = changedNow && !changedLast_;
        changedLast_ = changedNow;
        if (cut) {
            lastCut_ = frameNumber_;
        }
        const std::size_t earlier =
            std::max(frameNumber_ - std::min<std::size_t>(frameNumber_, kHistory), lastCut_);
        const bool earlierKnown = frameNumber_ - earlier >= 2;
        if (earlierKnown) {
            fromEarlier_.measure(source, history_[earlier % kHistory], false);
        }
        framesSincePan_ = panning(earlierKnown) ? 0 : framesSincePan_ + 1;
        for (std::size_t b = 0; b < kBlocks; ++b) {
            const bool still = fromPrevious_.block[b] <= kBlockMoved && fromPrevious_.peak[b] <= kPeakMoved &&
                               (!earlierKnown || fromEarlier_.block[b] <= kBlockMoved);
            stillFrames_[b] = still ? stillFrames_[b] + 1 : 0;
        }
        if (cut) {
            framesSincePan_ = kSettleFrames;
            stillFrames_.fill(kSettleFrames);
        }
    }

    std::size_t frameNumber_ = 0;
    bool first_ = true;
    std::array<Components, kHistory> history_{};  // the last sources, frame n at n % kHistory
    std::array<bool, kBlocks> flat_{};
    std::array<int, kBlocks> stillFrames_{};
    Difference fromPrevious_;
    Difference fromEarlier_;
    int framesSincePan_ = kSettleFrames;  // the first frames are not a pan
    std::size_t lastCut_ = 0;             // the first frame is one
    bool changedLast_ = false;            // the last frame changed most of the picture
};

// The levels of every pixel, chosen from what the scene reader found and from each pixel's background.
struct PixelLevels {
    Components levels{};
    // The background: the source each pixel's diffused levels were chosen for, and those levels. A pixel
    // whose source comes back to its background (a moving thing has passed) takes those levels back.
    Components backgroundSource{};
    Components backgroundLevels{};
    std::array<PixelAction, kFramePixels> action{};
    std::array<bool, kFramePixels> away{};  // ordered in the last frame: off its background
    Difference fromBackground;

    void choose(const SceneReader& scene, const Components& source) {
        if (scene.first()) {
            for (std::size_t p = 0; p < kFramePixels; ++p) {
                action[p] = scene.flat(blockOf(p)) ? PixelAction::order : PixelAction::diffuse;
            }
            return;
        }
        fromBackground.measure(source, backgroundSource, true);
        for (std::size_t p = 0; p < kFramePixels; ++p) {
            const std::size_t b = blockOf(p);
            if (scene.flat(b)) {
                action[p] = PixelAction::order;
            } else if (scene.panning()) {
                // Held levels would lag a drifting picture; ordered levels move with it.
                action[p] = fromBackground.block[b] <= kPanKept ? PixelAction::restore : PixelAction::order;
            } else if (std::equal(&source[p * 3], &source[p * 3 + 3], &backgroundSource[p * 3])) {
                action[p] = PixelAction::restore;  // a source that never changed never changes the stream
            } else if ((fromBackground.block[b] <= kBlockMoved && fromBackground.peak[b] <= kPeakMoved) ||
                       fromBackground.pixel[p] <= (away[p] ? kPixelBack : kPixelMoved)) {
                action[p] = PixelAction::restore;
            } else {
                // A moving thing is ordered: its levels stay put wherever it does, and it leaves no
                // diffused trail. Once it has come to rest, it is diffused and becomes background.
                action[p] = scene.settled(b) ? PixelAction::diffuse : PixelAction::order;
            }
        }
    }

    void orderAndRestore(const Components& source) {
        for (std::size_t p = 0; p < kFramePixels; ++p) {
            away[p] = action[p] == PixelAction::order;
            if (action[p] == PixelAction::order) {
                const int x = static_cast<int>(p % kFrameWidth);
                const int y = static_cast<int>(p / kFrameWidth);
                for (std::size_t c = 0; c < 3; ++c) {
                    levels[p * 3 + c] = static_cast<std::uint8_t>(orderedLevel(source[p * 3 + c], x, y));
                }
            } else if (action[p] == PixelAction::restore) {
                std::copy_n(&backgroundLevels[p * 3], 3, &levels[p * 3]);
            }
        }
    }

    bool diffused(int x, int y) const {
        return x >= 0 && x < kFrameWidth && y < kFrameHeight &&
               action[static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x)] ==
                   PixelAction::diffuse;
    }

    // Serpentine Floyd-Steinberg in linear light over the pixels being diffused; the error goes only to
    // neighbours being diffused too, their weights scaled up to the whole error. The diffused levels
    // become those pixels' background.
    void diffuse(const Components& source) {
        const DitherTables& t = tables();
        constexpr std::size_t kRow = (kFrameWidth + 2) * 3;
        std::array<float, kRow> current{};
        std::array<float, kRow> next{};
        struct Share {
            int dx;
            int dy;
            float weight;
        };
        for (int y = 0; y < kFrameHeight; ++y) {
            const bool leftToRight = (y % 2) == 0;
            const int direction = leftToRight ? 1 : -1;
            const Share shares[] = {
                {direction, 0, 7.0F}, {-direction, 1, 3.0F}, {0, 1, 5.0F}, {direction, 1, 1.0F}};
            next.fill(0.0F);
            for (int step = 0; step < kFrameWidth; ++step) {
                const int x = leftToRight ? step : kFrameWidth - 1 - step;
                if (!diffused(x, y)) {
                    continue;
                }
                float weights = 0.0F;
                for (const Share& share : shares) {
                    weights += diffused(x + share.dx, y + share.dy) ? share.weight : 0.0F;
                }
                const std::size_t i =
                    (static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x)) * 3;
                for (std::size_t c = 0; c < 3; ++c) {
                    const auto at = [&](int column) { return static_cast<std::size_t>(column + 1) * 3 + c; };
                    const float wanted =
                        std::fmin(1.0F, std::fmax(0.0F, t.linear[source[i + c]] + current[at(x)]));
                    const int best = nearestLevel(t, wanted);
                    if (weights > 0.0F) {
                        const float scale =
                            (wanted - t.levelLinear[static_cast<std::size_t>(best)]) / weights;
                        for (const Share& share : shares) {
                            if (diffused(x + share.dx, y + share.dy)) {
                                (share.dy == 0 ? current : next)[at(x + share.dx)] += scale * share.weight;
                            }
                        }
                    }
                    levels[i + c] = static_cast<std::uint8_t>(best);
                    backgroundLevels[i + c] = static_cast<std::uint8_t>(best);
                    backgroundSource[i + c] = source[i + c];
                }
            }
            current = next;
        }
    }
};

}  // namespace

struct SteadyDitherState {
    Components source{};
    Colours colours{};
    SceneReader scene;
    PixelLevels pixels;
};

SteadyDither::SteadyDither() = default;
SteadyDither::~SteadyDither() = default;

void SteadyDither::apply(animconv::FrameBuffer& frame) {
    SteadyDitherState& s = state();
    for (std::size_t p = 0; p < kFramePixels; ++p) {
        const std::uint8_t* pixel = &frame.pixels[p * kPixelBytes];
        std::copy_n(pixel, 3, &s.source[p * 3]);
        s.colours[p] = static_cast<std::uint32_t>(pixel[0]) | static_cast<std::uint32_t>(pixel[1]) << 8U |
                       static_cast<std::uint32_t>(pixel[2]) << 16U;
    }
    s.scene.read(s.source, s.colours);
    s.pixels.choose(s.scene, s.source);
    s.pixels.orderAndRestore(s.source);
    s.pixels.diffuse(s.source);
    for (std::size_t p = 0; p < kFramePixels; ++p) {
        for (std::size_t c = 0; c < 3; ++c) {
            frame.pixels[p * kPixelBytes + c] = cubeLevelValue(s.pixels.levels[p * 3 + c]);
        }
        frame.pixels[p * kPixelBytes + 3] = 0;
    }
}

double linearOf(int component) {
    const double v = component / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

void OrderedDither::apply(animconv::FrameBuffer& frame) {
    orderedFrame(frame);
}

void DiffusionDither::apply(animconv::FrameBuffer& frame) {
    diffusionFrame(frame);
}

int orderedLevel(int component, int x, int y) {
    const DitherTables& t = tables();
    const std::uint16_t threshold = t.threshold[kBayer[static_cast<std::size_t>(y & kMatrixMask)]
                                                      [static_cast<std::size_t>(x & kMatrixMask)]];
    return orderedLevelAt(t, static_cast<std::uint8_t>(component), threshold);
}

void orderedRow(const std::uint8_t* components, int y, std::uint8_t* levels) {
    const DitherTables& t = tables();
    const auto& ranks = kBayer[static_cast<std::size_t>(y & kMatrixMask)];
    for (std::size_t x = 0; x < kFrameWidth; ++x) {
        const std::uint16_t threshold = t.threshold[ranks[x & kMatrixMask]];
        for (std::size_t c = 0; c < 3; ++c) {
            levels[x * 3 + c] =
                static_cast<std::uint8_t>(orderedLevelAt(t, components[x * 3 + c], threshold));
        }
    }
}

}  // namespace animmake::dither
