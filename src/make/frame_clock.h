// Frame times to wait units, for any input whose frames have times of their own (a video, a stream): the
// waits are rounded cumulatively so that they add up to the input's clock, and with --fps the frame on
// screen at each tick is taken. A frame that would get no whole unit is dropped.
#pragma once

#include <cstddef>
#include <cstdint>

#include "make/make_options.h"

namespace animmake {

class FrameClock {
  public:
    // Times are counted in units of timeBaseNumerator / timeBaseDenominator seconds (both above 0).
    FrameClock(const VideoSettings& settings, std::int64_t timeBaseNumerator,
               std::int64_t timeBaseDenominator);

    // The wait of a frame shown until `end` (in the time base, counted from the start of the range taken),
    // or 0 when it is dropped. The last frame of a range that gave none is kept whatever its length.
    int waitUntil(std::int64_t end, bool last);

    std::size_t kept() const { return kept_; }

  private:
    const VideoSettings settings_;
    const std::int64_t timeBaseNumerator_;
    const std::int64_t timeBaseDenominator_;
    std::int64_t ticksDone_ = 0;
    std::int64_t unitsDone_ = 0;
    std::size_t kept_ = 0;
};

// value x multiplier / divisor (divisor above 0, multiplier not below 0) in exact arithmetic, rounded up, or
// to the nearest with halves away from zero.
std::int64_t scaledRoundingUp(std::int64_t value, std::int64_t multiplier, std::int64_t divisor);
std::int64_t scaledRoundingNearest(std::int64_t value, std::int64_t multiplier, std::int64_t divisor);

}  // namespace animmake
