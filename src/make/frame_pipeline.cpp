#include "make/frame_pipeline.h"

#include <csignal>

#include "make/dither.h"

namespace animmake {
namespace {

constexpr std::size_t kFramesQueuedPerInput = 3;

}  // namespace

FramePipeline::FramePipeline(const std::vector<InputItem>& inputs, const SourceSettings& settings,
                             Dither dither, unsigned workers)
    : inputs_(inputs),
      settings_(settings),
      dither_(dither),
      window_(std::size_t{workers} * 2),
      slots_(window_) {
    // Interrupts are taken by the main thread, which writes the stream, so that the handler never cuts the
    // stream back while a frame write is under way in another thread. Workers and the libvips threads they
    // start inherit the mask.
    sigset_t set;
    sigset_t previous;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, &previous);
    for (unsigned i = 0; i < workers; ++i) {
        threads_.emplace_back([this] { work(); });
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
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
        std::string notice;
        SourceSettings settings = settings_;
        settings.video.fixedWait = settings.video.fixedWait || inputs_[input].wait >= 0;
        // A video decodes once the consumer has reached it, so that videos in the window ahead do not each
        // hold a decoder's memory; the consumer never waits on an input that waits on it.
        settings.awaitVideoTurn = [this, input] {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || consumerAt_ >= input; });
            return !stopping_;
        };
        const bool loaded = loadFrames(
            inputs_[input].path, settings,
            [&](PipelineFrame frame) {
                ditherFrame(*frame.pixels, dither_);
                return deliver(slot, std::move(frame));
            },
            reason, notice);
        {
            std::lock_guard lock(mutex_);
            slot.done = true;
            slot.failed = !loaded;
            slot.reason = loaded ? notice : reason;
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
    reason = slot.reason;
    return slot.failed ? Next::failed : Next::inputDone;
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
