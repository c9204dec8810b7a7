// A video's frames between its decoder and the sink, the same for both video readers (FFmpeg's and Media
// Foundation's): each decoded picture waits until the next one's time settles how long it is shown, then
// is fitted by the reader and handed on with its wait; what the range and the rate promise, for the progress
// line; and the words for a video used in part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "make/inputs/source.h"
#include "make/inputs/source_settings.h"
#include "make/inputs/video_timeline.h"

namespace animmake::inputs {

class VideoFrameHandOff {
  public:
    // Fits the picture waiting into the frame; false when it does not fit.
    using FitWaiting = std::function<bool(animconv::FrameBuffer& frame)>;

    VideoFrameHandOff(const SourceSettings& settings, const FrameSink& sink, FitWaiting fitWaiting)
        : settings_(settings), sink_(sink), fitWaiting_(std::move(fitWaiting)) {}

    // The video's clock, and the frames it promises (0 when unknown); again when the clock's origin is
    // learnt late.
    void start(const VideoClock& clock, std::size_t expected);
    // --start in the clock's time base.
    std::int64_t startTime() const { return timeline_->start(); }

    // A picture decoded at `timestamp` (none when unknown), lasting `duration` by its own account (0 when
    // unknown): the one waiting before it is settled. `waits` is set when this picture is to wait in its
    // place (the reader keeps it); not when the range ends before it. False when the waiting one did not fit.
    bool arrive(std::optional<std::int64_t> timestamp, std::int64_t duration, bool& waits);
    // The video's end: the picture waiting is settled, shown until that end. False when it did not fit.
    bool finish();

    // The sink wants no more, or the range has ended.
    bool stopped() const { return stopped_; }
    std::size_t kept() const { return timeline_->kept(); }

  private:
    bool emit(const SettledFrame& settled);

    const SourceSettings& settings_;
    const FrameSink& sink_;
    const FitWaiting fitWaiting_;
    std::optional<VideoTimeline> timeline_;
    std::size_t expected_ = 0;
    bool stopped_ = false;
};

// The frames a video of `lengthSeconds` (none when unknown) at `rate` frames a second (0 when unknown)
// promises for the range taken, at most one a wait unit unless every frame is kept; 0 when unknown.
std::size_t expectedFrames(std::optional<double> lengthSeconds, double rate, const VideoSettings& settings);

// What a video used in part lost: the frames its container lists but it lacked, those that did not decode
// and those taken with decoding errors; empty when none.
std::string damagedNotice(const LostFrames::Verdict& lost, std::size_t leftOut, std::size_t concealed);

}  // namespace animmake::inputs
