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

namespace animmake {

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

// Why a video gave no frame to take: none could be decoded (a damaged file), or --start lies past its end.
std::string nothingTakenReason(std::size_t framesDecoded, std::int64_t startMicroseconds);

}  // namespace animmake
