#include "make/inputs/video_timeline.h"
#include "toolkit/translation.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "make/inputs/source.h"

namespace animmake::inputs {
namespace {

__extension__ typedef __int128 Wide;  // products of two 64-bit factors

std::int64_t narrowed(Wide value) {
    const Wide low = INT64_MIN;
    const Wide high = INT64_MAX;
    return static_cast<std::int64_t>(std::clamp(value, low, high));
}

}  // namespace

std::int64_t rescaleNear(std::int64_t a, std::int64_t b, std::int64_t c) {
    const Wide product = Wide{a} * b;
    const Wide half = c / 2;
    return narrowed(product >= 0 ? (product + half) / c : -((-product + half) / c));
}

std::int64_t rescaleUp(std::int64_t a, std::int64_t b, std::int64_t c) {
    const Wide product = Wide{a} * b;
    return narrowed(product >= 0 ? (product + c - 1) / c : -((-product) / c));
}

VideoTimeline::VideoTimeline(const VideoSettings& settings, const VideoClock& clock)
    : settings_(settings), clock_(clock) {
    if (clock.origin) {
        origin_ = *clock.origin;
        haveOrigin_ = true;
    }
    // Microseconds to the time base, to the nearest.
    const auto fromMicroseconds = [&](std::int64_t microseconds) {
        return rescaleNear(microseconds, clock.timeBaseDen, clock.timeBaseNum * 1'000'000);
    };
    start_ = fromMicroseconds(settings.startMicroseconds);
    if (settings.durationMicroseconds != kWholeVideo) {
        end_ = fromMicroseconds(settings.durationMicroseconds);
    }
    if (end_ != kWholeVideo) {
        videoEnd_ = end_;
    }
}

std::int64_t VideoTimeline::unitsAt(std::int64_t time) const {
    return rescaleNear(time, clock_.timeBaseNum * 1000, clock_.timeBaseDen * settings_.waitUnitMs);
}

SettledFrame VideoTimeline::arrive(std::optional<std::int64_t> timestamp, std::int64_t duration, bool& past) {
    std::int64_t stamp = 0;
    std::int64_t time = 0;
    const SettledFrame settled = reach(timestamp, stamp, time, past);
    if (past) {
        return settled;
    }
    // How long the frame lasts when it is the last: its own duration, a frame at the average rate, the gap
    // before it, or a tenth of a second.
    if (duration <= 0) {
        duration = clock_.frameDuration;
    }
    if (duration <= 0) {
        duration =
            havePrevious_ && stamp > previousStamp_
                ? stamp - previousStamp_
                : std::max<std::int64_t>(1, rescaleNear(1, clock_.timeBaseDen, clock_.timeBaseNum * 10));
    }
    waiting_ = true;
    havePrevious_ = true;
    previousStamp_ = stamp;
    waitingTime_ = time;
    waitingDuration_ = duration;
    return settled;
}

SettledFrame VideoTimeline::pass(std::optional<std::int64_t> timestamp, bool& past) {
    std::int64_t stamp = 0;
    std::int64_t time = 0;
    const SettledFrame settled = reach(timestamp, stamp, time, past);
    if (!past) {
        havePrevious_ = true;
        previousStamp_ = stamp;
        waitingDuration_ = 0;
    }
    return settled;
}

// The frame at `timestamp` settles the waiting one; `past` when it lies past the range.
SettledFrame VideoTimeline::reach(std::optional<std::int64_t> timestamp, std::int64_t& stamp,
                                  std::int64_t& time, bool& past) {
    past = false;
    stamp = timestamp ? *timestamp : havePrevious_ ? previousStamp_ + waitingDuration_ : origin_;
    if (!haveOrigin_) {
        origin_ = stamp;
        haveOrigin_ = true;
    }
    time = stamp - origin_ - start_;
    SettledFrame settled;
    if (end_ != kWholeVideo && time >= end_) {
        past = true;  // the range ends before this frame
        if (waiting_) {
            waiting_ = false;
            settled = {true, settle(end_, true)};
        }
        return settled;
    }
    if (waiting_) {
        waiting_ = false;
        settled = {true, settle(time, false)};
    }
    return settled;
}

SettledFrame VideoTimeline::finish() {
    if (!waiting_) {
        return {};
    }
    waiting_ = false;
    // Container entries that hold no picture (AVI's dropped frames) after the last frame extend it.
    std::int64_t end = waitingTime_ + waitingDuration_;
    if (!begun_ && end > 0) {
        startCounting();
    }
    if (lengthEnd_ && *lengthEnd_ > end) {
        end = *lengthEnd_;
    }
    if (end_ != kWholeVideo) {
        end = std::min(end, end_);
    }
    return {true, settle(end, true)};
}

// Counted from the first frame's own time, or from --start when that falls within it.
void VideoTimeline::startCounting() {
    begun_ = true;
    begin_ = std::max<std::int64_t>(0, waitingTime_);
    unitsBegin_ = unitsAt(begin_);
    unitsDone_ = unitsBegin_;
    // The container's length is a duration: counted from the first picture (an AVI's first picture may
    // come a frame after its origin).
    if (clock_.length && *clock_.length - start_ > 0) {
        lengthEnd_ = *clock_.length - start_ + begin_;
        videoEnd_ = videoEnd_ ? std::min(*videoEnd_, *lengthEnd_) : *lengthEnd_;
    }
}

int VideoTimeline::settle(std::int64_t endTime, bool last) {
    // The last frame of a range that gave none is kept whatever its length.
    const bool keepAnyway = last && kept_ == 0 && endTime > 0;
    if (endTime <= 0 && !keepAnyway) {
        return 0;  // before the range
    }
    if (!begun_) {
        startCounting();
    }
    std::int64_t units = unitsAt(endTime);
    if (settings_.fpsNumerator > 0) {
        // The ticks before `endTime`: the frame is on screen at those its start did not reach.
        const std::int64_t ticks = rescaleUp(endTime - begin_, clock_.timeBaseNum * settings_.fpsNumerator,
                                             clock_.timeBaseDen * settings_.fpsDenominator);
        if (ticks <= ticksDone_ && !keepAnyway) {
            return 0;
        }
        ticksDone_ = std::max(ticks, ticksDone_ + 1);
        // Until the next tick; the last frame, and any frame at the video's end, until that end.
        if (!last) {
            units = unitsBegin_ + rescaleNear(ticksDone_, settings_.fpsDenominator * 1000,
                                              settings_.fpsNumerator * settings_.waitUnitMs);
            if (videoEnd_) {
                units = std::min(units, unitsAt(*videoEnd_));
            }
        }
    }
    std::int64_t wait = units - unitsDone_;
    if (wait <= 0) {
        if (!keepAnyway && !settings_.keepEveryFrame) {
            return 0;
        }
        wait = 1;
    }
    unitsDone_ = std::max(units, unitsDone_ + 1);
    ++kept_;
    return static_cast<int>(std::min<std::int64_t>(wait, 255));
}

void LostFrames::arrive(std::optional<std::int64_t> timestamp) {
    ++decoded_;
    if (!timestamp) {
        return;
    }
    const std::int64_t step = clock_.frameDuration;
    if (last_ && step > 0) {
        const std::int64_t apart = *timestamp - *last_;
        // A rate like 29.97 in a millisecond time base keeps its frames 33 or 34 ticks apart.
        if (std::abs(apart - step) <= step / 10 + 1) {
            ++steps_;
        } else {
            ++others_;
        }
        // More than one and a half frames apart: the frames between are missing, if the rate holds.
        if (apart > step + step / 2) {
            inGaps_ += static_cast<std::size_t>(rescaleNear(apart, 1, step) - 1);
            if (gapCount_ < kPlacesNamed) {
                gaps_[gapCount_] = Gap{*last_ + step, *timestamp - step};
            }
            ++gapCount_;
        }
    }
    if (!first_) {
        first_ = timestamp;
    }
    last_ = timestamp;
}

// Four in five frames one frame apart, and few gaps: a recording that leaves out the frames where nothing
// moves (a screen's) has gaps everywhere, and none of them is a loss.
bool LostFrames::keepsToRate() const {
    const auto gaps = static_cast<std::size_t>(gapCount_);
    return clock_.frameDuration > 0 && steps_ > 0 && steps_ >= 4 * others_ && gaps <= 3 + decoded_ / 100;
}

std::string LostFrames::secondsAt(std::int64_t time) const {
    const std::int64_t origin = clock_.origin.value_or(first_.value_or(0));
    const double seconds = static_cast<double>(time - origin) * static_cast<double>(clock_.timeBaseNum) /
                           static_cast<double>(clock_.timeBaseDen);
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds < 0 ? 0.0 : seconds);
    return text;
}

LostFrames::Verdict LostFrames::judge(std::int64_t listed, bool gapsAreLost) const {
    Verdict verdict;
    const bool regular = gapsAreLost && keepsToRate();
    std::int64_t expected = listed > 0 ? listed : 0;
    bool fromLength = false;
    if (regular && clock_.length && *clock_.length > 0) {
        // The smaller count where both are known: entries an edit list leaves out of the length do not count.
        const std::int64_t implied = rescaleNear(*clock_.length, 1, clock_.frameDuration);
        fromLength = expected == 0 || implied < expected;
        expected = fromLength ? implied : expected;
    }
    const auto counted = static_cast<std::int64_t>(decoded_);
    // Where the times keep to the rate, frames missing between them are lost whatever the count says.
    if (regular && inGaps_ > 0) {
        expected = std::max(expected, counted + static_cast<std::int64_t>(inGaps_));
    }
    if (expected <= counted) {
        return verdict;
    }
    const auto missing = static_cast<std::size_t>(expected - counted);
    // A count from the length may be one off by rounding; a gap in the times says the frame is gone.
    if (fromLength && missing < 2 && inGaps_ == 0) {
        return verdict;
    }
    verdict.leftOut = missing;
    verdict.text = std::to_string(missing) + " " + _("of its ") +
                   framesText(static_cast<std::size_t>(expected)) + _(" left out");
    if (regular && gapCount_ > 0) {
        verdict.text += _(" (at ");
        for (int i = 0; i < std::min(gapCount_, kPlacesNamed); ++i) {
            const Gap& gap = gaps_[i];
            if (i > 0) {
                verdict.text += ", ";
            }
            verdict.text += secondsAt(gap.from);
            if (gap.to > gap.from) {
                verdict.text += '-';
                verdict.text += secondsAt(gap.to);
            }
            verdict.text += " s";
        }
        verdict.text += gapCount_ > kPlacesNamed ? ", ...)" : ")";
    }
    return verdict;
}

std::string nothingTakenReason(std::size_t framesDecoded, std::int64_t startMicroseconds) {
    if (framesDecoded == 0) {
        return _("no frame of the video could be decoded (the file is damaged)");
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f s", static_cast<double>(startMicroseconds) / 1e6);
    return std::string(_("no frames to take: --start ")) + seconds + _(" lies past the video's end");
}

}  // namespace animmake::inputs
