#include "make/frame_clock.h"

#include <algorithm>

namespace animmake {
namespace {

// Products of a time and a rate pass 64 bits long before their quotient does.
__extension__ typedef __int128 Wide;

std::int64_t narrowed(Wide value) {
    const Wide low = INT64_MIN;
    const Wide high = INT64_MAX;
    return static_cast<std::int64_t>(std::clamp(value, low, high));
}

}  // namespace

std::int64_t scaledRoundingUp(std::int64_t value, std::int64_t multiplier, std::int64_t divisor) {
    const Wide product = Wide{value} * multiplier;
    Wide quotient = product / divisor;  // towards zero: up for a negative product
    if (product > 0 && product % divisor != 0) {
        ++quotient;
    }
    return narrowed(quotient);
}

std::int64_t scaledRoundingNearest(std::int64_t value, std::int64_t multiplier, std::int64_t divisor) {
    const Wide product = Wide{value} * multiplier;
    const Wide magnitude = (2 * (product < 0 ? -product : product) + divisor) / (2 * Wide{divisor});
    return narrowed(product < 0 ? -magnitude : magnitude);
}

FrameClock::FrameClock(const VideoSettings& settings, std::int64_t timeBaseNumerator,
                       std::int64_t timeBaseDenominator)
    : settings_(settings), timeBaseNumerator_(timeBaseNumerator), timeBaseDenominator_(timeBaseDenominator) {}

int FrameClock::waitUntil(std::int64_t end, bool last) {
    const bool keepAnyway = last && kept_ == 0 && end > 0;
    std::int64_t units = 0;
    if (settings_.fpsNumerator > 0) {
        // The ticks before `end`: the frame is on screen at those its start did not reach.
        const std::int64_t ticks = scaledRoundingUp(end, timeBaseNumerator_ * settings_.fpsNumerator,
                                                    timeBaseDenominator_ * settings_.fpsDenominator);
        if (ticks <= ticksDone_ && !keepAnyway) {
            return 0;
        }
        ticksDone_ = std::max(ticks, ticksDone_ + 1);
        units = scaledRoundingNearest(ticksDone_, settings_.fpsDenominator * 1000,
                                      settings_.fpsNumerator * settings_.waitUnitMs);
    } else {
        if (end <= 0 && !keepAnyway) {
            return 0;  // before the range
        }
        units = scaledRoundingNearest(end, timeBaseNumerator_ * 1000,
                                      timeBaseDenominator_ * settings_.waitUnitMs);
    }
    std::int64_t wait = units - unitsDone_;
    if (settings_.fixedWait) {
        wait = 1;  // the fixed wait byte replaces it
    } else if (wait <= 0) {
        if (!keepAnyway) {
            return 0;
        }
        wait = 1;
    }
    unitsDone_ = std::max(units, unitsDone_ + 1);
    ++kept_;
    return static_cast<int>(std::min<std::int64_t>(wait, 255));
}

}  // namespace animmake
