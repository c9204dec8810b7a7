// What every input source gives: fitted 190x170 frames, one at a time, to a sink, and a plain reason when the
// input cannot be used. The image, video and stream sources each fill these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "convert/frame_encoder.h"
#include "toolkit/translation.h"

namespace animmake::inputs {

constexpr int kNoWait = -1;

struct SourceFrame {
    std::unique_ptr<animconv::FrameBuffer> pixels;
    // The frame's own wait in the run's wait units (a stream's frame may have 0, others at least 1, at most
    // 255); kNoWait for a still.
    int wait = kNoWait;
    std::size_t inputFrames = 0;  // the frames this input is expected to give, when known; else 0
    // A stream input's frame: its pixels are cube colours already, which no dither may move, and its wait
    // may be 0.
    bool fromStream = false;
};

// Receives each frame in order. Returning false stops the input early.
using FrameSink = std::function<bool(SourceFrame frame)>;

// Why an input cannot be used: a plain reason (one line, without the input's name) and, when a library
// gave one, the library's own text for --verbose.
struct LoadFailure {
    std::string reason;
    std::string libraryText;
};

// An input's frames, handed one at a time.
class Source {
  public:
    Source() = default;
    virtual ~Source() = default;
    Source(const Source&) = delete;  // a stepped source's sink points into it
    Source& operator=(const Source&) = delete;
    // The next frame; false at the input's end, or when it failed (failed() then).
    virtual bool next(SourceFrame& frame) = 0;

    bool failed() const { return failed_; }
    const LoadFailure& failure() const { return failure_; }
    // At the end of an input used only in part: what was left out.
    const std::string& notice() const { return notice_; }

  protected:
    // Ends the input with `reason`; false, for the step that failed.
    bool fail(std::string reason) {
        failed_ = true;
        failure_.reason = std::move(reason);
        return false;
    }

    LoadFailure failure_;
    std::string notice_;
    bool failed_ = false;
};

// An input refused before its first frame.
class RefusedSource : public Source {
  public:
    explicit RefusedSource(LoadFailure failure) {
        failed_ = true;
        failure_ = std::move(failure);
    }
    bool next(SourceFrame&) override { return false; }
};

// A source that makes its frames in steps, each giving none, one or a few to `queued` (a picture's pages,
// a stream's frames, a video's packets): next() takes steps until a frame is there.
class SteppedSource : public Source {
  public:
    bool next(SourceFrame& frame) final {
        while (frames_.empty() && !ended_) {
            ended_ = !step();
        }
        if (frames_.empty()) {
            return false;
        }
        frame = std::move(frames_.front());
        frames_.pop_front();
        return true;
    }

  protected:
    // One step; false once nothing more comes, or when it failed.
    virtual bool step() = 0;

    const FrameSink queued = [this](SourceFrame frame) {
        frames_.push_back(std::move(frame));
        return true;
    };

  private:
    std::deque<SourceFrame> frames_;
    bool ended_ = false;
};

// "1 frame", "12 frames": counts in the messages.
inline std::string framesText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? _(" frame") : _(" frames"));
}

// "the video has 7680x4320 pixels, more than --max-pixels 1000": `subject` is "the image has " or "the
// video has ", translated.
inline std::string tooManyPixelsReason(const std::string& subject, std::uint64_t width, std::uint64_t height,
                                       std::uint64_t maxPixels) {
    return subject + std::to_string(width) + "x" + std::to_string(height) +
           _(" pixels, more than --max-pixels ") + std::to_string(maxPixels);
}

}  // namespace animmake::inputs
