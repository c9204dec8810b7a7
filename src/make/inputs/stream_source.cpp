#include "make/inputs/stream_source.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "make/inputs/video_timeline.h"
#include "stream/stream_reader.h"
#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

namespace animmake::inputs {
namespace {

using animconv::FrameBuffer;
using animconv::kFramePixels;
using animconv::kPixelBytes;

// A record that breaks a frame starts at most this far into it: the reader needs no more bytes than these
// ahead of a frame's start to find the frame's end or where it breaks.
constexpr std::size_t kFrameReach = animconv::kMaxFrameBytes + animconv::kLongRunRecordBytes;

// The file read through a window that always holds kFrameReach bytes from the frame asked for, or all
// that is left of the file: a stream of any length is read in bounded memory.
class StreamWindow {
  public:
    explicit StreamWindow(std::FILE* file) : file_(file), bytes_(kFrameReach) {}

    // The bytes from file offset `offset` on, as a view whose byte 0 lies at file offset `base`.
    bool at(std::size_t offset, animconv::StreamView& view, std::size_t& base, std::string& reason) {
        if (offset + kFrameReach > base_ + filled_ && !atEnd_) {
            const std::size_t kept = base_ + filled_ - offset;
            std::memmove(bytes_.data(), bytes_.data() + (offset - base_), kept);
            base_ = offset;
            filled_ = kept;
            while (filled_ < kFrameReach && !atEnd_) {
                filled_ += std::fread(bytes_.data() + filled_, 1, kFrameReach - filled_, file_);
                if (std::ferror(file_) != 0) {
                    reason = std::string(_("cannot read: ")) + std::strerror(errno);
                    return false;
                }
                atEnd_ = std::feof(file_) != 0;
            }
        }
        view = animconv::StreamView{bytes_.data(), filled_};
        base = base_;
        return true;
    }

  private:
    std::FILE* file_;
    std::vector<std::uint8_t> bytes_;
    std::size_t base_ = 0;  // the file offset of bytes_[0]
    std::size_t filled_ = 0;
    bool atEnd_ = false;
};

// "frame N at byte M: ..." at the file's offsets.
std::string whereItBreaks(animconv::ProblemReport report, std::size_t base) {
    report.frameOffset += base;
    report.byteOffset += base;
    return animconv::problemText(report);
}

animconv::ReadRules streamRules() {
    animconv::ReadRules rules;
    rules.rejectLongFormUnder128 = true;
    return rules;
}

void toFrame(const animconv::FrameIndices& indices, FrameBuffer& frame) {
    for (std::size_t p = 0; p < kFramePixels; ++p) {
        const animconv::Rgb colour = animconv::cubeColour(indices.values[p]);
        std::uint8_t* pixel = &frame.pixels[p * kPixelBytes];
        pixel[0] = colour.blue;
        pixel[1] = colour.green;
        pixel[2] = colour.red;
        pixel[3] = 0;
    }
}

// Which frames are taken and how long each lasts. Without --start, --duration or --fps every frame comes
// with its own wait; otherwise the frames' times, counted by their waits, go through the timeline videos use,
// and a frame with no wait is kept where it lies inside the range (it is never on screen, so the timeline
// would drop it) unless --fps takes the frames on screen at its ticks.
class StreamTimeline {
  public:
    StreamTimeline(const SourceSettings& settings, const FrameSink& sink)
        : settings_(settings),
          sink_(sink),
          timed_(settings.video.fpsNumerator > 0 || settings.video.startMicroseconds > 0 ||
                 settings.video.durationMicroseconds != kWholeVideo) {
        if (timed_) {
            VideoClock clock;
            clock.timeBaseDen = 1'000'000;
            clock.origin = 0;
            timeline_.emplace(settings.video, clock);
        }
    }

    // The next frame, `wait` units long; false once nothing further is taken.
    bool add(const animconv::FrameIndices& indices, std::uint8_t wait) {
        const std::int64_t begins = elapsed_;
        const std::int64_t lasts = std::int64_t{wait} * settings_.video.waitUnitMs * 1000;
        elapsed_ += lasts;
        if (!timed_) {
            return emit(indices, wait);
        }
        if (wait == 0 && settings_.video.fpsNumerator > 0) {
            return true;  // on screen at no tick
        }
        bool past = false;
        const SettledFrame settled =
            wait == 0 ? timeline_->pass(begins, past) : timeline_->arrive(begins, lasts, past);
        if (!emitSettled(settled) || past) {
            return false;
        }
        if (wait == 0) {
            return begins < settings_.video.startMicroseconds || emit(indices, 0);
        }
        pending_ = indices;
        return true;
    }

    // After the last frame: the one still waiting is shown until the stream's end.
    void finish() {
        if (timed_) {
            emitSettled(timeline_->finish());
        }
    }

    bool tookNone() const { return taken_ == 0; }

  private:
    bool emitSettled(const SettledFrame& settled) {
        return settled.wait == 0 || emit(pending_, settled.wait);
    }

    bool emit(const animconv::FrameIndices& indices, int wait) {
        auto frame = std::make_unique<FrameBuffer>();
        toFrame(indices, *frame);
        ++taken_;
        SourceFrame source{std::move(frame), wait, 0};
        source.fromStream = true;
        stopped_ = !sink_(std::move(source));
        return !stopped_;
    }

    const SourceSettings& settings_;
    const FrameSink& sink_;
    const bool timed_;
    std::optional<VideoTimeline> timeline_;
    std::int64_t elapsed_ = 0;          // microseconds from the stream's start to the end of the frames added
    animconv::FrameIndices pending_{};  // the frame waiting in the timeline
    std::size_t taken_ = 0;
    bool stopped_ = false;
};

}  // namespace

bool startsAsStream(const FileHead& head, std::string& whereItBreaks) {
    // The window the reader gets for the first frame: no more bytes than it needs.
    const animconv::StreamView view{head.bytes(), std::min(head.size, kFrameReach)};
    animconv::ReadRules rules = streamRules();
    rules.firstOfRun = true;
    animconv::FrameSummary summary;
    animconv::ProblemReport report;
    if (animconv::readFrame(view, 0, 1, rules, summary, report, nullptr) == animconv::Problem::none) {
        return true;
    }
    whereItBreaks = inputs::whereItBreaks(report, 0);
    return false;
}

namespace {

// The stream read a frame a step.
class StreamSource : public SteppedSource {
  public:
    StreamSource(const std::string& path, const SourceSettings& settings)
        : path_(path), settings_(settings), timeline_(settings, queued) {}

  private:
    bool step() override {
        std::string reason;
        if (!file_) {
            countInputOpen();
            file_.reset(toolplatform::openFile(path_, "rb"));
            if (!file_) {
                return fail(std::string(_("cannot open: ")) + std::strerror(errno));
            }
            window_.emplace(file_.get());
        }
        animconv::StreamView view;
        std::size_t base = 0;
        if (!window_->at(offset_, view, base, reason)) {
            return fail(reason);
        }
        if (offset_ - base == view.length) {
            if (number_ == 1) {
                return fail(_("the file is empty"));  // emptied since its first bytes were read
            }
            return end();  // the file's end, after a whole frame
        }
        rules_.firstOfRun = number_ == 1;
        animconv::FrameSummary summary;
        animconv::ProblemReport report;
        if (animconv::readFrame(view, offset_ - base, number_, rules_, summary, report,
                                taking_ ? indices_.get() : nullptr) != animconv::Problem::none) {
            return fail(_("a damaged stream: ") + whereItBreaks(report, base));
        }
        offset_ += summary.bytes;
        ++number_;
        // After the range taken, the rest is still checked: only a whole stream is an input.
        taking_ = taking_ && timeline_.add(*indices_, summary.waitByte);
        return true;
    }

    bool end() {
        if (taking_) {
            timeline_.finish();
        }
        if (timeline_.tookNone()) {
            char start[32];
            std::snprintf(start, sizeof start, "%.3f s",
                          static_cast<double>(settings_.video.startMicroseconds) / 1e6);
            return fail(std::string(_("no frames to take: --start ")) + start +
                        _(" lies past the stream's end"));
        }
        return false;
    }

    const std::string path_;
    const SourceSettings& settings_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_{nullptr, &std::fclose};
    std::optional<StreamWindow> window_;
    const std::unique_ptr<animconv::FrameIndices> indices_ = std::make_unique<animconv::FrameIndices>();
    StreamTimeline timeline_;
    animconv::ReadRules rules_ = streamRules();
    std::size_t offset_ = 0;
    std::size_t number_ = 1;
    bool taking_ = true;
};

}  // namespace

std::unique_ptr<Source> openStream(const std::string& path, const SourceSettings& settings) {
    return std::make_unique<StreamSource>(path, settings);
}

}  // namespace animmake::inputs
