#include "make/frame_pipeline.h"

#include "make/dither.h"
#include "make/stream_output.h"

namespace animmake {
namespace {

constexpr std::size_t kFramesQueuedPerInput = 3;

}  // namespace

FramePipeline::FramePipeline(const std::vector<InputItem>& inputs, const FitSettings& settings, Dither dither,
                             unsigned workers)
    : inputs_(inputs),
      settings_(settings),
      dither_(dither),
      window_(std::size_t{workers} * 2),
      slots_(window_) {
    startWithoutInterrupts([this, workers] {
        for (unsigned i = 0; i < workers; ++i) {
            threads_.emplace_back([this] { work(); });
        }
    });
}

FramePipeline::~FramePipeline() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

bool FramePipeline::deliver(Slot& slot, PipelineFrame frame) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || slot.frames.size() < kFramesQueuedPerInput; });
    if (stopping_) {
        return false;
    }
    slot.frames.push_back(std::move(frame));
    changed_.notify_all();
    return true;
}

void FramePipeline::work() {
    for (;;) {
        std::size_t input = 0;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] {
                return stopping_ || nextToClaim_ >= inputs_.size() || nextToClaim_ < consumerAt_ + window_;
            });
            if (stopping_ || nextToClaim_ >= inputs_.size()) {
                return;
            }
            input = nextToClaim_++;
        }
        Slot& slot = slots_[input % window_];
        std::string reason;
        const bool loaded = loadFrames(
            inputs_[input].path, settings_,
            [&](std::unique_ptr<animconv::FrameBuffer> pixels, int delayMs) {
                ditherFrame(*pixels, dither_);
                return deliver(slot, PipelineFrame{std::move(pixels), delayMs});
            },
            reason);
        {
            std::lock_guard lock(mutex_);
            slot.done = true;
            slot.failed = !loaded;
            slot.reason = reason;
        }
        changed_.notify_all();
    }
}

FramePipeline::Next FramePipeline::next(std::size_t input, PipelineFrame& frame, std::string& reason) {
    Slot& slot = slots_[input % window_];
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !slot.frames.empty() || slot.done; });
    if (!slot.frames.empty()) {
        frame = std::move(slot.frames.front());
        slot.frames.pop_front();
        changed_.notify_all();
        return Next::frame;
    }
    if (slot.failed) {
        reason = slot.reason;
        return Next::failed;
    }
    return Next::inputDone;
}

void FramePipeline::advance() {
    {
        std::lock_guard lock(mutex_);
        slots_[consumerAt_ % window_] = Slot{};
        ++consumerAt_;
    }
    changed_.notify_all();
}

}  // namespace animmake
