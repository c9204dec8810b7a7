// A video's presentation times turned into the waits of the frames taken: each frame shown from its own
// time until the next one's, the first included, the last until the video ends, cumulatively rounded to
// whole wait units so that the waits add up to the video's length; with --fps the frame on screen at each
// tick. No decoder's types: any video source (FFmpeg's, Media Foundation's) feeds it its frames' times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "make/inputs/source_settings.h"

namespace animmake::inputs {

// What the container says of the video's clock, times in its time base (seconds = time x num / den).
struct VideoClock {
    std::int64_t timeBaseNum = 1;
    std::int64_t timeBaseDen = 1;
    std::optional<std::int64_t> origin;  // the first presentation time; else the first frame's
    std::int64_t frameDuration = 0;      // one frame at the average rate; 0 when it does not say
    std::optional<std::int64_t> length;  // how long the video lasts, when it says
};

// What became of the frame that was waiting for the next one's time.
struct SettledFrame {
    bool any = false;  // false: no frame was waiting
    int wait = 0;      // its wait in units (1..255); 0 when it is left out (shorter than a unit, or before
                       // --start)
};

class VideoTimeline {
  public:
    VideoTimeline(const VideoSettings& settings, const VideoClock& clock);

    // --start in the time base, from the origin.
    std::int64_t start() const { return start_; }

    // A frame presented at `timestamp` (none when the decoder does not know it), lasting `duration` by its
    // own account (0 when unknown), becomes the waiting frame; the one before it is settled. With `past`
    // set the frame lies past the range taken: it does not wait, and no frame after it counts.
    SettledFrame arrive(std::optional<std::int64_t> timestamp, std::int64_t duration, bool& past);

    // A frame at `timestamp` that is never on screen (a stream's frame of no wait): the waiting frame is
    // settled as by arrive(), and none waits after it.
    SettledFrame pass(std::optional<std::int64_t> timestamp, bool& past);

    // The video ended: the waiting frame is settled, shown until the video's end.
    SettledFrame finish();

    std::size_t kept() const { return kept_; }

  private:
    SettledFrame reach(std::optional<std::int64_t> timestamp, std::int64_t& stamp, std::int64_t& time,
                       bool& past);
    void startCounting();
    int settle(std::int64_t endTime, bool last);
    std::int64_t unitsAt(std::int64_t time) const;

    const VideoSettings settings_;
    const VideoClock clock_;
    std::int64_t origin_ = 0;
    bool haveOrigin_ = false;
    std::int64_t start_ = 0;
    std::int64_t end_ = kWholeVideo;         // the range's end, from --start
    std::optional<std::int64_t> videoEnd_;   // no frame shown past it: the range's or the length's end
    std::optional<std::int64_t> lengthEnd_;  // where the container's length ends, from --start

    bool waiting_ = false;
    bool havePrevious_ = false;  // previousStamp_ holds the frame before, even when it was left out
    std::int64_t previousStamp_ = 0;
    std::int64_t waitingTime_ = 0;  // from --start
    std::int64_t waitingDuration_ = 0;

    bool begun_ = false;  // the first frame in the range has been settled: the count starts there
    std::int64_t begin_ = 0;
    std::int64_t unitsBegin_ = 0;
    std::int64_t unitsDone_ = 0;
    std::int64_t ticksDone_ = 0;
    std::size_t kept_ = 0;
};

// a x b / c (c above 0) in exact arithmetic, rounded to the nearest (halves away from zero) or up; a
// quotient past 64 bits is clamped.
std::int64_t rescaleNear(std::int64_t a, std::int64_t b, std::int64_t c);
std::int64_t rescaleUp(std::int64_t a, std::int64_t b, std::int64_t c);

// The frames a video lost, for a video read whole: its decoded frames counted against the frames its
// container lists, or, for a video whose times keep to its stated rate, the frames its length implies;
// placed by the gaps in those times. Times are in the clock's time base.
class LostFrames {
  public:
    explicit LostFrames(const VideoClock& clock) : clock_(clock) {}

    // Each decoded frame, in presentation order; one without a time is counted only.
    void arrive(std::optional<std::int64_t> timestamp);

    struct Verdict {
        std::size_t leftOut = 0;  // 0: nothing was lost
        std::string text;         // "3 of its 30 frames left out (at 0.200-0.500 s)"
    };
    // `listed`: the frames the container lists one by one, 0 when it does not say. `gapsAreLost`: false for
    // a container that leaves gaps by design (AVI's dropped frames).
    Verdict judge(std::int64_t listed, bool gapsAreLost) const;

  private:
    std::string secondsAt(std::int64_t time) const;
    bool keepsToRate() const;

    static constexpr int kPlacesNamed = 3;
    struct Gap {
        std::int64_t from = 0;  // the first and last time missing
        std::int64_t to = 0;
    };
    const VideoClock clock_;
    std::size_t decoded_ = 0;
    std::optional<std::int64_t> first_;
    std::optional<std::int64_t> last_;
    std::size_t steps_ = 0;   // times one frame apart at the stated rate
    std::size_t others_ = 0;  // times apart by anything else, gaps included
    std::size_t inGaps_ = 0;  // frames the gaps hold at the stated rate
    Gap gaps_[kPlacesNamed];
    int gapCount_ = 0;
};

// Why a video gave no frame to take: none could be decoded (a damaged file), or --start lies past its end.
std::string nothingTakenReason(std::size_t framesDecoded, std::int64_t startMicroseconds);

}  // namespace animmake::inputs
