#include "make/inputs/video_frames.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "toolkit/translation.h"

namespace animmake::inputs {

void VideoFrameHandOff::start(const VideoClock& clock, std::size_t expected) {
    timeline_.emplace(settings_.video, clock);
    expected_ = expected;
}

bool VideoFrameHandOff::arrive(std::optional<std::int64_t> timestamp, std::int64_t duration, bool& waits) {
    bool past = false;
    const SettledFrame settled = timeline_->arrive(timestamp, duration, past);
    waits = false;
    if (!emit(settled)) {
        return false;
    }
    if (past) {
        stopped_ = true;  // the range ends before this picture
        return true;
    }
    waits = true;
    return true;
}

bool VideoFrameHandOff::finish() {
    return emit(timeline_->finish());
}

bool VideoFrameHandOff::emit(const SettledFrame& settled) {
    if (!settled.any || settled.wait == 0) {
        return true;  // none was waiting, or the timeline left it out
    }
    auto frame = std::make_unique<animconv::FrameBuffer>();
    if (!fitWaiting_(*frame)) {
        return false;
    }
    if (!sink_(SourceFrame{std::move(frame), settled.wait, expected_})) {
        stopped_ = true;
    }
    return true;
}

std::size_t expectedFrames(std::optional<double> lengthSeconds, double rate, const VideoSettings& settings) {
    if (!lengthSeconds) {
        return 0;
    }
    double seconds = std::max(0.0, *lengthSeconds - static_cast<double>(settings.startMicroseconds) / 1e6);
    if (settings.durationMicroseconds != kWholeVideo) {
        seconds = std::min(seconds, static_cast<double>(settings.durationMicroseconds) / 1e6);
    }
    if (settings.fpsNumerator > 0) {
        rate = static_cast<double>(settings.fpsNumerator) / static_cast<double>(settings.fpsDenominator);
    }
    if (rate <= 0) {
        return 0;
    }
    if (!settings.keepEveryFrame) {
        rate = std::min(rate, 1000.0 / settings.waitUnitMs);
    }
    return static_cast<std::size_t>(std::ceil(seconds * rate - 1e-6));
}

std::string damagedNotice(const LostFrames::Verdict& lost, std::size_t leftOut, std::size_t concealed) {
    // The count of frames the container lists says it all when it is the larger.
    const bool listedLoss = lost.leftOut > leftOut;
    if (listedLoss) {
        leftOut = 0;
    }
    if (!listedLoss && leftOut == 0 && concealed == 0) {
        return {};
    }
    std::string notice = _("the video is damaged: ");
    notice += listedLoss ? lost.text : "";
    notice += leftOut > 0 ? framesText(leftOut) + _(" left out") : "";
    notice += (leftOut > 0 || listedLoss) && concealed > 0 ? ", " : "";
    notice += concealed > 0 ? framesText(concealed) + _(" taken with decoding errors") : "";
    notice += _("; the rest is in the stream");
    return notice;
}

}  // namespace animmake::inputs
